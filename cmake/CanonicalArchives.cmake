# CPack's post-build script: every package it made, rewritten in canonical form (canonical_archive.py
# says why), so that `cmake --build --target package` and scripts/release.sh give the same bytes.
find_program(QUELM_PYTHON NAMES python3 REQUIRED)
execute_process(COMMAND ${QUELM_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/canonical_archive.py ${CPACK_PACKAGE_FILES}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not rewrite ${CPACK_PACKAGE_FILES} in canonical form")
endif()
