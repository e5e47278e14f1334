# What `cmake --install` puts where, and how hosts find it afterwards:
# find_package(Korvane) with the imported targets Korvane::Korvane,
# Korvane::KorvaneShare and Korvane::KorvaneLoader, or pkg-config korvane / korvane-share.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

target_include_directories(Korvane INTERFACE
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(KorvaneShare INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(KorvaneLoader INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS Korvane KorvaneShare KorvaneLoader EXPORT KorvaneTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/korvane/korvane.h include/korvane/korvane_share.h
    include/korvane/korvane_loader.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane)
foreach(tool korvane-grab korvane-share korvane-lut)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(FILES README.md docs/simulator.md docs/sharing.md docs/properties.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT KorvaneTargets NAMESPACE Korvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)
configure_package_config_file(cmake/KorvaneConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake ${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)

# The prefix as seen from the installed .pc file: the prefix given to
# `cmake --install --prefix` is not known when the files are configured.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(KORVANE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH korvane_pc_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
    string(REGEX REPLACE "/$" "" korvane_pc_up "${korvane_pc_up}")
    set(KORVANE_PC_PREFIX "\${pcfiledir}/${korvane_pc_up}")
endif()
foreach(pc korvane korvane-share)
    configure_file(cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
