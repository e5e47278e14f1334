# Builds TARGET in BUILD_DIR and passes only when the build fails because
# the thread-safety analysis finds both guarded members touched without
# their locks.
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --target "${TARGET}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0)
    message(FATAL_ERROR "${TARGET} compiled: guarded members can be touched without their locks")
endif()
foreach(expected "variable 'value_' requires holding mutex 'mutex_'"
                 "variable 'row_' requires holding spin lock 'spin_'")
    string(FIND "${out}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${TARGET} failed, but without \"${expected}\":\n${out}")
    endif()
endforeach()
