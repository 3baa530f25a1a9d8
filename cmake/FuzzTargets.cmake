# Fuzz build (preset "fuzz", QUELM_FUZZ=ON, clang): libFuzzer targets over the core's parsers, the
# simulated machine's readers, quelm-sim's disk-image reader and whole runs on the simulated machine,
# each also a ctest test of label "fuzz" that fuzzes for a bounded time from its seed corpus. Included by cmake/HostTargets.cmake once
# quelm_core, quelm_sim and quelm_medium are defined; nothing else of the host build is built here.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QUELM_FUZZ needs clang and its libFuzzer runtime: configure with the \"fuzz\" preset")
endif()

set(QUELM_FUZZ_SECONDS 10 CACHE STRING "Seconds each fuzz target runs as a ctest test (whole runs: three times that)")
set(QUELM_FUZZ_INPUT_TIMEOUT 10 CACHE STRING "Seconds one input may run before libFuzzer reports a hang")

# Coverage instrumentation and the sanitizers for everything a target runs; the program's main comes
# from libFuzzer at link time. The core has no RTTI, which the virtual-pointer check needs.
set(QUELM_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr
    -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(quelm_core PRIVATE ${QUELM_FUZZ_FLAGS})
target_compile_options(quelm_sim PRIVATE ${QUELM_FUZZ_FLAGS})
target_compile_options(quelm_medium PRIVATE ${QUELM_FUZZ_FLAGS})

# lint, for its target: the tool's code that reads a disk's file, built alike.
find_package(nlohmann_json 3 REQUIRED)
add_library(quelm_lint STATIC ${QUELM_LINT_SOURCES})
target_include_directories(quelm_lint PUBLIC ${PROJECT_SOURCE_DIR}/tools/quelm-sim)
target_link_libraries(quelm_lint PUBLIC quelm_medium nlohmann_json::nlohmann_json)
target_compile_options(quelm_lint PRIVATE ${QUELM_FUZZ_FLAGS})

enable_testing()
set(QUELM_FUZZ_DIR ${PROJECT_SOURCE_DIR}/tests/fuzz)
# "target|source|share": the corpus is tests/fuzz/corpus/<target>, a dictionary tests/fuzz/dict/<target>.dict
# is used when there is one, and the target runs `share` times QUELM_FUZZ_SECONDS. A whole run scans the
# PCI bus and is a hundred times slower than a parser, so it gets more time, and comes first: with two
# jobs, the parsers share the other processor meanwhile.
foreach(entry IN ITEMS
    "run|RunFuzz.cpp|3"
    "profile|ProfileFuzz.cpp|1"
    "field-list|FieldListFuzz.cpp|1"
    "escapes|EscapesFuzz.cpp|1"
    "macros|MacrosFuzz.cpp|1"
    "reg-file|RegFileFuzz.cpp|1"
    "pci-listing|PciListingFuzz.cpp|1"
    "lint|LintFuzz.cpp|2"
    "medium|MediumFuzz.cpp|1")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 target)
  list(GET parts 1 source)
  list(GET parts 2 share)
  math(EXPR seconds "${QUELM_FUZZ_SECONDS} * ${share}")
  add_executable(fuzz-${target} ${QUELM_FUZZ_DIR}/${source})
  target_include_directories(fuzz-${target} PRIVATE ${QUELM_FUZZ_DIR} ${PROJECT_SOURCE_DIR}/tests/unit)
  target_link_libraries(fuzz-${target} PRIVATE quelm_sim quelm_medium quelm_lint)
  target_compile_options(fuzz-${target} PRIVATE ${QUELM_FUZZ_FLAGS} ${QUELM_WARNINGS})
  target_link_options(fuzz-${target} PRIVATE -fsanitize=fuzzer,address,undefined)

  set(dictionary ${QUELM_FUZZ_DIR}/dict/${target}.dict)
  if(NOT EXISTS ${dictionary})
    set(dictionary "")
  endif()
  add_test(NAME fuzz.${target}
    COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:fuzz-${target}> -DCORPUS=${QUELM_FUZZ_DIR}/corpus/${target}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/fuzz-work/${target} -DSECONDS=${seconds}
            -DINPUT_TIMEOUT=${QUELM_FUZZ_INPUT_TIMEOUT} -DDICTIONARY=${dictionary}
            -P ${QUELM_FUZZ_DIR}/RunFuzzer.cmake)
  math(EXPR limit "${seconds} * 3 + 120")
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT ${limit})
endforeach()
