# Every target of the project compiles warning-free.
add_library(korvane_warnings INTERFACE)
if(MSVC)
    target_compile_options(korvane_warnings INTERFACE /W4 /WX)
else()
    # A local hiding a member or an outer name, a polymorphic class deleted
    # through a base without a virtual destructor, and a function with
    # external linkage that no header declares (it belongs in an anonymous
    # namespace or its header) are each a bug waiting to happen.
    target_compile_options(korvane_warnings INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
        -Wmissing-declarations)
    # clang proves the lock annotations of platform/ThreadSafety.h.
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        target_compile_options(korvane_warnings INTERFACE -Wthread-safety)
    endif()
    # GCC 12's -Wrestrict reports overlaps inside std::string's own
    # concatenation once -O3 inlines it (GCC bug 105329); later versions fixed it.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
       AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(korvane_warnings INTERFACE -Wno-restrict)
    endif()
endif()

# What a layer's code may include: the include directory of a layer target is
# a view under the build tree that holds links to its own folder (or only to
# the HEADERS it shows, as the log shows driver/DriverLog.h alone) and to what
# its DEPS show, nothing else. An #include of a layer it does not link then
# fails to compile. Code outside the layers (tests, tools, benchmarks) adds
# the source root itself where it needs more.
#   korvane_layer_view(target [FOLDER dir] [HEADERS files...] [DEPS layers...])
# FOLDER is relative to the source root (default: the current folder).
function(korvane_layer_view target)
    cmake_parse_arguments(ARG "" "FOLDER" "HEADERS;DEPS" ${ARGN})
    if(NOT ARG_FOLDER)
        file(RELATIVE_PATH ARG_FOLDER ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    set(shows)
    if(ARG_HEADERS)
        foreach(header ${ARG_HEADERS})
            list(APPEND shows ${ARG_FOLDER}/${header})
        endforeach()
    else()
        list(APPEND shows ${ARG_FOLDER})
    endif()
    foreach(dep ${ARG_DEPS})
        if(TARGET ${dep})
            get_target_property(dep_shows ${dep} KORVANE_LAYER_SHOWS)
            if(dep_shows)
                list(APPEND shows ${dep_shows})
            endif()
        endif()
    endforeach()
    list(REMOVE_DUPLICATES shows)
    # A file inside a folder that is shown whole is shown already (and a link
    # made for it would be written through the folder's link into the
    # sources).
    set(covered)
    foreach(entry ${shows})
        foreach(other ${shows})
            string(FIND "${entry}" "${other}/" at)
            if(at EQUAL 0)
                list(APPEND covered ${entry})
            endif()
        endforeach()
    endforeach()
    if(covered)
        list(REMOVE_ITEM shows ${covered})
    endif()
    set_target_properties(${target} PROPERTIES KORVANE_LAYER_SHOWS "${shows}")

    set(view ${PROJECT_BINARY_DIR}/layers/${target})
    # A view left by an earlier configuration may show more: start afresh.
    # (Removing a link never touches what it points to.)
    file(REMOVE_RECURSE ${view})
    foreach(entry ${shows})
        get_filename_component(parent ${view}/${entry} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        if(EXISTS ${view}/${entry} OR IS_SYMLINK ${view}/${entry})
            message(FATAL_ERROR "The view ${view} would show ${entry} twice")
        endif()
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${entry} ${view}/${entry} SYMBOLIC)
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${view} ${PROJECT_SOURCE_DIR}/include)
    elseif(type MATCHES "^(STATIC|OBJECT)_LIBRARY$")
        target_include_directories(${target} PUBLIC ${view} ${PROJECT_SOURCE_DIR}/include)
    else()
        target_include_directories(${target} PRIVATE ${view} ${PROJECT_SOURCE_DIR}/include)
    endif()
endfunction()

# A static layer library of the project (position independent, hidden
# symbols) built from the given source files, seeing its own folder and
# what its DEPS show (see korvane_layer_view).
#   korvane_layer(name SOURCES files... [HEADERS shown...] [DEPS layers...])
function(korvane_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;HEADERS;DEPS" ${ARGN})
    if(ARG_SOURCES)
        add_library(${name} STATIC ${ARG_SOURCES})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE korvane_warnings)
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
    korvane_layer_view(${name} HEADERS ${ARG_HEADERS} DEPS ${ARG_DEPS})
endfunction()

# Gathers the .cpp files of the given folders (relative to the current one).
function(korvane_sources out)
    set(result)
    foreach(dir ${ARGN})
        file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND result ${found})
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()
