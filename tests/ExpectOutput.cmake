# Runs PROGRAM with ARGUMENTS (in the folder RUN_IN, if given) and compares its standard output with the
# file EXPECTED, byte for byte, and its exit status with STATUS (0 unless given).
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
if(NOT DEFINED RUN_IN)
  set(RUN_IN .)
endif()
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} WORKING_DIRECTORY ${RUN_IN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
# QUELM_UPDATE_EXPECTED=1 in the environment records the output instead, for a change that means to
# change it (the diff is then read before it is committed).
if("$ENV{QUELM_UPDATE_EXPECTED}" STREQUAL "1" AND status EQUAL STATUS)
  file(WRITE ${EXPECTED} "${out}")
endif()
file(READ ${EXPECTED} expected)
if(NOT status EQUAL STATUS OR NOT out STREQUAL expected)
  message(FATAL_ERROR "status ${status} (expected ${STATUS}), errors [${err}]\n--- expected\n${expected}--- got\n${out}")
endif()
