# The library hosts load, on top of every layer (included from the top
# CMakeLists.txt once all of them are defined). Only the nineteen exports are
# visible. It is built into <build>/driver/ beside the log, as this folder's
# own targets are.
add_library(Korvane SHARED ${CMAKE_CURRENT_LIST_DIR}/Exports.cpp)
set_target_properties(Korvane PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/driver
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/driver
    ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/driver)
target_link_libraries(Korvane PRIVATE
    korvane_camera korvane_dialogs korvane_sharing korvane_settings korvane_mil korvane_log
    korvane_platform korvane_warnings)
korvane_layer_view(Korvane FOLDER driver DEPS korvane_camera korvane_dialogs korvane_sharing
    korvane_settings korvane_mil korvane_log korvane_platform)
target_compile_definitions(Korvane PRIVATE KORVANE_BUILDING_DRIVER)
if(NOT WIN32)
    target_link_options(Korvane PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/exports.map
        -Wl,--no-undefined)
    set_target_properties(Korvane PROPERTIES LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/exports.map)
endif()
if(WIN32)
    # Korvane.dll (no "lib" prefix) exporting exactly the names of the .def
    # file, undecorated on both Windows targets.
    target_sources(Korvane PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Korvane.def)
    set_target_properties(Korvane PROPERTIES PREFIX "" IMPORT_PREFIX "")
    target_link_options(Korvane PRIVATE -Wl,--no-undefined -Wl,--kill-at)
endif()
