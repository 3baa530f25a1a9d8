# Runs PROGRAM with ARGUMENTS and compares its standard output with the file EXPECTED, byte for byte.
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "status ${status}, errors [${err}]\n--- expected\n${expected}--- got\n${out}")
endif()
