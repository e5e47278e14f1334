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
    # GCC 12's -Wrestrict reports overlaps inside std::string's own
    # concatenation once -O3 inlines it (GCC bug 105329); later versions fixed it.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
       AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(korvane_warnings INTERFACE -Wno-restrict)
    endif()
endif()

# A static layer library of the project (position independent, hidden
# symbols) built from every source file of its folder pattern.
function(korvane_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(ARG_SOURCES)
        add_library(${name} STATIC ${ARG_SOURCES})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE korvane_warnings)
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
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
