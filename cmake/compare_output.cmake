# Runs a program and compares its standard output, byte for byte, with a
# golden file. Skips (exit 0 with a note) when the input file is absent.
#   -DPROGRAM=... -DINPUT=... -DEXPECTED=... -DACTUAL=... [-DEMULATOR=...]
#   [-DOPTIONS=...] (options before INPUT, ;-separated)
if(NOT EXISTS "${INPUT}")
    message(STATUS "skipped: ${INPUT} not found")
    return()
endif()
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${OPTIONS} "${INPUT}"
    OUTPUT_FILE "${ACTUAL}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} exited with ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${EXPECTED}" "${ACTUAL}"
    RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${ACTUAL} differs from ${EXPECTED}")
endif()
