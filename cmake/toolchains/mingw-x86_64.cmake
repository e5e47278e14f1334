# Cross build for Windows (x86_64) with MinGW-w64. The posix thread model
# gives std::thread and std::mutex; everything is linked statically so the
# DLL and the programs import only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANE_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
