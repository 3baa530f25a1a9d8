# Runs PROGRAM with ARGUMENTS and compares its standard output with the file EXPECTED, byte for byte,
# and its exit status with STATUS (0 unless given).
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL STATUS OR NOT out STREQUAL expected)
  message(FATAL_ERROR "status ${status} (expected ${STATUS}), errors [${err}]\n--- expected\n${expected}--- got\n${out}")
endif()
