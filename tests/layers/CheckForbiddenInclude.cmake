# Builds TARGET in BUILD_DIR and passes only when the build fails because
# HEADER (a file that exists in SOURCE_DIR) is not found.
if(NOT EXISTS "${SOURCE_DIR}/${HEADER}")
    message(FATAL_ERROR "${HEADER} does not exist: the probe proves nothing")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --target "${TARGET}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0)
    message(FATAL_ERROR "${TARGET} compiled: ${HEADER} can be included where it must not be")
endif()
# GCC: "mil/MilApi.h: No such file or directory"; clang: "'mil/MilApi.h' file not found".
string(FIND "${out}" "${HEADER}: No such file or directory" gcc_says)
string(FIND "${out}" "'${HEADER}' file not found" clang_says)
if(gcc_says EQUAL -1 AND clang_says EQUAL -1)
    message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${out}")
endif()
message(STATUS "${HEADER} is out of reach as it should be")
