# Windows programs the end-to-end tests run under Wine next to QUELM.EXE. They are test tools, not
# the product: they use the C runtime (linked statically, so Wine needs no extra DLLs) and anything
# Wine offers.
function(quelm_add_wine_test_program name source)
  add_executable(quelm_test_${name} ${CMAKE_CURRENT_LIST_DIR}/${source})
  set_target_properties(quelm_test_${name} PROPERTIES OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_compile_options(quelm_test_${name} PRIVATE -O2 ${QUELM_WARNINGS})
  target_link_options(quelm_test_${name} PRIVATE -static)
  target_link_libraries(quelm_test_${name} PRIVATE user32 kernel32)
endfunction()

# Starts QUELM.EXE, answers its message boxes and records them.
quelm_add_wine_test_program(e2e-driver E2eDriver.cpp)
# It copies the boxes off the screen when asked to (QUELM_CAPTURE_DIR).
target_link_libraries(quelm_test_e2e-driver PRIVATE gdi32)
# What a disk's Exec line opens: records its own path and current directory.
quelm_add_wine_test_program(exec-recorder ExecRecorder.cpp)
# The real GetPrivateProfileStringA, wsprintfA and GetVersionExA, for the differential checks.
quelm_add_wine_test_program(platform-probe PlatformProbe.cpp)
