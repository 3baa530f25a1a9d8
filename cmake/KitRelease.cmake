# The disk kit, quelm-VERSION-win32.zip: QUELM.EXE, the example disk, the authors' guide as README.TXT,
# the licence, and the stand-in installer program in a folder that says what it is.
include(${PROJECT_SOURCE_DIR}/cmake/ReleaseFiles.cmake)

# Texts for Windows readers, with CR LF line ends.
quelm_windows_text(${PROJECT_SOURCE_DIR}/docs/disk-authoring.md README.TXT)
quelm_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.TXT)
quelm_windows_text(${PROJECT_SOURCE_DIR}/tools/vadrun/STAND-IN.TXT STAND-IN.TXT)

install(TARGETS quelm_exe RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/README.TXT ${CMAKE_BINARY_DIR}/LICENSE.TXT DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/disk/ DESTINATION example-disk)
# vadrun.exe installs no driver: it only shows what QUELM.EXE hands an installer. A disk author who
# copied it onto a disk by mistake must be able to tell from its folder alone.
set(QUELM_STAND_IN_FOLDER stand-in-installer-not-a-driver)
install(TARGETS vadrun RUNTIME DESTINATION ${QUELM_STAND_IN_FOLDER})
install(FILES ${CMAKE_BINARY_DIR}/STAND-IN.TXT DESTINATION ${QUELM_STAND_IN_FOLDER})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quelm)
set(CPACK_PACKAGE_FILE_NAME quelm-${PROJECT_VERSION}-win32)
include(CPack)
