# Cross build for Windows (i686) with MinGW-w64. The posix thread model
# gives std::thread and std::mutex; everything is linked statically so the
# DLL and the programs import only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVANE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
