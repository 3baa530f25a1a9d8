# Runs PROGRAM with ARGUMENTS and insists on exit status 2, one line on stderr and nothing on stdout.
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCHALL "\n" lines "${err}")
list(LENGTH lines lineCount)
if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT lineCount EQUAL 1)
  message(FATAL_ERROR "expected status 2, no output and one error line; got status ${status}, "
                      "output [${out}], errors [${err}]")
endif()
message(STATUS "rejected as expected: ${err}")
