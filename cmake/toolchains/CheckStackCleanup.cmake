# Checks that each operation a 32-bit stand-in for the vendor imaging library
# exports by ordinal cleans up the stack as the vendor library does: the
# callee pops its arguments, and exactly this many bytes. A caller-pops
# function ends in a bare "ret"; a wrong argument width pops another number.
#   cmake -DOBJDUMP=<i686 objdump> -DDLL=<file.dll> -P CheckStackCleanup.cmake
foreach(var OBJDUMP DLL)
    if(NOT ${var})
        message(FATAL_ERROR "${var} not given")
    endif()
endforeach()

# ordinal:bytes, as the vendor library pops them on i686.
set(expected
    1648:8 101:8 106:8 102:4 103:8 1641:16 276:12 274:12 275:4
    1647:20 147:16 141:20 148:8 142:4 1506:28 109:28 125:24 123:4)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed (${rc})")
endif()
if(NOT dump MATCHES "file format pei-i386")
    message(FATAL_ERROR "${DLL} is not an i686 DLL")
endif()
string(REGEX MATCH "\nImageBase[ \t]+([0-9a-fA-F]+)" _ "${dump}")
set(image_base "0x${CMAKE_MATCH_1}")

# Rows "\t[   n] +base[ ord] rva Export RVA"; brackets group list elements
# in CMake, so they go first.
string(REPLACE "[" "<" dump "${dump}")
string(REPLACE "]" ">" dump "${dump}")
string(REGEX MATCHALL "\\+base< *[0-9]+> [0-9a-fA-F]+ Export RVA" rows "${dump}")

set(failures "")
foreach(pair ${expected})
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 ordinal)
    list(GET pair 1 bytes)
    set(rva "")
    foreach(row ${rows})
        if(row MATCHES "^\\+base< *${ordinal}> ([0-9a-fA-F]+) ")
            set(rva ${CMAKE_MATCH_1})
        endif()
    endforeach()
    if(rva STREQUAL "")
        string(APPEND failures "\n  ordinal ${ordinal}: not exported")
        continue()
    endif()
    math(EXPR start "${image_base} + 0x${rva}" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR stop "${start} + 1024" OUTPUT_FORMAT HEXADECIMAL)
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn --start-address=${start}
                            --stop-address=${stop} ${DLL}
        OUTPUT_VARIABLE code RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} -d ${DLL} failed (${rc})")
    endif()
    # The function's own code: from its label to the next one.
    string(FIND "${code}" ">:\n" first)
    if(first LESS 0)
        string(APPEND failures "\n  ordinal ${ordinal}: no code at 0x${rva}")
        continue()
    endif()
    math(EXPR first "${first} + 3")
    string(SUBSTRING "${code}" ${first} -1 body)
    string(FIND "${body}" ">:\n" next)
    if(next GREATER_EQUAL 0)
        string(SUBSTRING "${body}" 0 ${next} body)
    endif()
    string(REGEX MATCHALL "\tret[ \t]*[^\n]*" returns "${body}")
    if(NOT returns)
        string(APPEND failures "\n  ordinal ${ordinal}: no return of its own")
        continue()
    endif()
    math(EXPR want "${bytes}" OUTPUT_FORMAT HEXADECIMAL)
    foreach(ret ${returns})
        string(STRIP "${ret}" ret)
        if(ret MATCHES "^ret +\\$(0x[0-9a-fA-F]+)$")
            math(EXPR popped "${CMAKE_MATCH_1}")
        else()
            set(popped 0)
        endif()
        if(NOT popped EQUAL bytes)
            string(APPEND failures
                "\n  ordinal ${ordinal}: '${ret}' pops ${popped} bytes, the library pops ${bytes}")
        endif()
    endforeach()
    message(STATUS "ordinal ${ordinal}: pops ${bytes} bytes")
endforeach()

if(failures)
    message(FATAL_ERROR "${DLL}: stack clean-up differs from the vendor library's:${failures}")
endif()
list(LENGTH expected n)
message(STATUS "${DLL}: all ${n} operations pop the vendor library's argument bytes")
