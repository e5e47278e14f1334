# Installs the build into a scratch prefix, then has gst-inspect-1.0 and
# gst-launch-1.0 find korvanesrc in the prefix's plugin folder and grab
# three frames of the simulated camera with it, the driver found beside the
# plugin's folder.
#   cmake -DBUILD=<build> -DWORK=<dir> -DLIBDIR=<libdir> -DLAUNCH=<gst-launch-1.0>
#         -DINSPECT=<gst-inspect-1.0> -P InstalledPlugin.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/system)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(plugins ${WORK}/prefix/${LIBDIR}/gstreamer-1.0)
if(NOT EXISTS ${plugins}/libgstkorvane.so)
    message(FATAL_ERROR "the plugin is not in ${plugins}")
endif()
file(WRITE ${WORK}/system/KorvaneSim.ini
    "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\nDigitizers=1\n"
    "[System0.Digitizer0]\nWidth=64\nHeight=16\n")
# Nothing of the build tree: the installed files alone.
set(ENV{GST_PLUGIN_PATH} ${plugins})
set(ENV{GST_REGISTRY} ${WORK}/registry.bin)
unset(ENV{KORVANE_LIBRARY})
unset(ENV{KORVANE_SIM_CONFIG})
unset(ENV{KORVANE_MIL})
execute_process(COMMAND ${INSPECT} korvanesrc RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 60)
if(NOT rc EQUAL 0 OR NOT out MATCHES "connect-timeout" OR NOT out MATCHES "${plugins}/libgstkorvane.so")
    message(FATAL_ERROR "gst-inspect-1.0 korvanesrc: ${rc}\n${out}\n${err}")
endif()
execute_process(COMMAND ${LAUNCH} -q korvanesrc "camera=Camera 1" system-path=${WORK}/system
        num-buffers=3 ! pngenc ! multifilesink location=${WORK}/frame-%05d.png
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/frame-00002.png)
    message(FATAL_ERROR "gst-launch-1.0 with the installed plugin: ${rc}\n${out}\n${err}")
endif()
message(STATUS "installed plugin: inspected and grabbed 3 frames")
