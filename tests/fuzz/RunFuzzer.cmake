# Runs one fuzz target for a bounded time on a scratch copy of its seed corpus, so that the checked-in
# corpus is never changed, and reports its executions; any finding fails the test, and the input that
# caused it is left in WORK/artifacts.
#   cmake -DFUZZER=... -DCORPUS=... -DWORK=... -DSECONDS=... -DINPUT_TIMEOUT=... [-DDICTIONARY=...] -P RunFuzzer.cmake
foreach(variable IN ITEMS FUZZER CORPUS WORK SECONDS INPUT_TIMEOUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "RunFuzzer.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${CORPUS}")
  message(FATAL_ERROR "no seed corpus at ${CORPUS}")
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/artifacts")
file(COPY "${CORPUS}/" DESTINATION "${WORK}/corpus")
set(arguments -max_total_time=${SECONDS} -timeout=${INPUT_TIMEOUT} -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix=${WORK}/artifacts/)
if(DICTIONARY)
  list(APPEND arguments -dict=${DICTIONARY})
endif()

string(TIMESTAMP started "%s")
execute_process(COMMAND "${FUZZER}" ${arguments} "${WORK}/corpus"
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status ERROR_VARIABLE log OUTPUT_VARIABLE out)
string(TIMESTAMP ended "%s")
file(WRITE "${WORK}/fuzzer.log" "${out}${log}")
math(EXPR elapsed "${ended} - ${started}")

string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" ignored "${log}")
set(executions "${CMAKE_MATCH_1}")
string(REGEX MATCH "stat::new_units_added: *([0-9]+)" ignored "${log}")
set(added "${CMAKE_MATCH_1}")
get_filename_component(name "${FUZZER}" NAME)
if(NOT status EQUAL 0)
  message("${log}")
  file(GLOB findings "${WORK}/artifacts/*")
  message(FATAL_ERROR "${name}: finding (exit status ${status}) after ${elapsed} s; input kept: ${findings}")
endif()
message("${name}: ${executions} executions in ${elapsed} s, ${added} new inputs (log: ${WORK}/fuzzer.log)")
