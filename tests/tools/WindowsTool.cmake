# quelm-sim.exe (preset tool-win64) under 64-bit Wine: every tool test that quelm_sim_exe_test is
# handed runs once more, unchanged, against the Windows build, as e2e.quelm-sim-exe.NAME. Paths reach
# it as a Windows user types them (Z:\...), its output must match the same recorded files byte for
# byte. A host whose Wine runs no 64-bit programs skips them, saying why.
set(QUELM_TOOL_WIN64_DIR ${PROJECT_SOURCE_DIR}/build/tool-win64 CACHE PATH
    "Build tree of the tool-win64 preset, holding quelm-sim.exe")
set(QUELM_WINE_TOOL ${CMAKE_CURRENT_LIST_DIR}/wine_tool.py)
set(QUELM_WINE_TOOL_WORK ${CMAKE_CURRENT_BINARY_DIR}/wine-tool)
set(QUELM_WINE_TOOL_PROGRAM ${Python3_EXECUTABLE} ${QUELM_WINE_TOOL} exec --work-dir ${QUELM_WINE_TOOL_WORK}
    ${QUELM_TOOL_WIN64_DIR}/quelm-sim.exe)

add_test(NAME e2e.quelm-sim-exe.setup
         COMMAND Python3::Interpreter ${QUELM_WINE_TOOL} setup --work-dir ${QUELM_WINE_TOOL_WORK})
add_test(NAME e2e.quelm-sim-exe.cleanup
         COMMAND Python3::Interpreter ${QUELM_WINE_TOOL} cleanup --work-dir ${QUELM_WINE_TOOL_WORK})
set_tests_properties(e2e.quelm-sim-exe.setup PROPERTIES FIXTURES_SETUP wine_tool TIMEOUT 180)
set_tests_properties(e2e.quelm-sim-exe.cleanup PROPERTIES FIXTURES_CLEANUP wine_tool TIMEOUT 60)
set_tests_properties(e2e.quelm-sim-exe.setup e2e.quelm-sim-exe.cleanup PROPERTIES LABELS e2e SKIP_RETURN_CODE 77)

# NAME, the arguments after quelm-sim (a list), the recorded output (or "" for a usage error), the
# checking script (ExpectOutput.cmake or ExpectUsageError.cmake) and the exit status it must end with;
# a sixth argument is the folder to run in, for relative paths.
function(quelm_sim_exe_test name arguments expected script status)
  set(runIn .)
  if(ARGC GREATER 5)
    set(runIn ${ARGV5})
  endif()
  add_test(NAME e2e.quelm-sim-exe.${name}
    COMMAND ${CMAKE_COMMAND} "-DPROGRAM=${QUELM_WINE_TOOL_PROGRAM}" "-DARGUMENTS=${arguments}"
            -DEXPECTED=${expected} -DSTATUS=${status} -DRUN_IN=${runIn} -P ${CMAKE_CURRENT_SOURCE_DIR}/${script})
  # The wrapper's skip line reaches ctest inside the script's failure message.
  set_tests_properties(e2e.quelm-sim-exe.${name} PROPERTIES LABELS e2e FIXTURES_REQUIRED wine_tool TIMEOUT 90
    SKIP_REGULAR_EXPRESSION "SKIPPED: the win64 Wine tests do not run here")
endfunction()

# What only Windows has: scan reads SetupAPI's device list, in which the prefix holds the functions of
# the recorded Linux tree, so both list the same; the list gives no configuration space, so card
# entries cannot tell AGP, say PCI and end with status 1; and run --pci-host (ARGUMENTS, a run of the
# example disk expected to give EXPECTED) finds the example card there.
function(quelm_sim_exe_device_list_tests arguments expected)
  quelm_sim_exe_test(scan-device-list "scan" ${CMAKE_CURRENT_SOURCE_DIR}/tools/data/scan-machine.txt
                     ExpectOutput.cmake 0)
  quelm_sim_exe_test(scan-entries-device-list "scan;--entries"
                     ${CMAKE_CURRENT_SOURCE_DIR}/tools/data/scan-device-list-entries.txt ExpectOutput.cmake 1)
  quelm_sim_exe_test(run-pci-host-device-list "${arguments};--pci-host" ${expected} ExpectOutput.cmake 0)
endfunction()
