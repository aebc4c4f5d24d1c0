# Runs a program once per input file and compares its standard output, all
# runs one after another, byte for byte, with a golden file. Skips (exit 0
# with a note) when an input file is absent.
#   -DPROGRAM=... -DINPUT=a[;b...] -DEXPECTED=... -DACTUAL=... [-DEMULATOR=...]
#   [-DARGS=opt[;opt...]]  options given before each input
#   [-DSTATUS=n[;n...]]    each run's expected exit status (default 0)
foreach(input IN LISTS INPUT)
    if(NOT EXISTS "${input}")
        message(STATUS "skipped: ${input} not found")
        return()
    endif()
endforeach()
set(run 0)
set(outputs)
foreach(input IN LISTS INPUT)
    set(expected_status 0)
    if(DEFINED STATUS)
        list(GET STATUS ${run} expected_status)
    endif()
    set(output "${ACTUAL}.${run}")
    execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${ARGS} "${input}"
        OUTPUT_FILE "${output}" RESULT_VARIABLE status)
    if(NOT status STREQUAL expected_status)
        message(FATAL_ERROR "${PROGRAM} ${ARGS} ${input} exited with ${status}, not ${expected_status}")
    endif()
    list(APPEND outputs "${output}")
    math(EXPR run "${run} + 1")
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${outputs} OUTPUT_FILE "${ACTUAL}")
file(REMOVE ${outputs})
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${EXPECTED}" "${ACTUAL}"
    RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${ACTUAL} differs from ${EXPECTED}")
endif()
