# Installing quelm-sim and packing it for release: on Linux `cmake --install` and the .tar.gz and .deb
# (CPack's TGZ and DEB), for Windows the zip of quelm-sim.exe (preset tool-win64).
include(${PROJECT_SOURCE_DIR}/cmake/ReleaseFiles.cmake)
set(CPACK_PACKAGE_NAME quelm-sim)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows what a QUELM driver disk does on every Windows version")

if(WIN32)
  # The version record Explorer shows in the file's properties.
  configure_file(${PROJECT_SOURCE_DIR}/tools/quelm-sim/QuelmSim.rc.in ${CMAKE_BINARY_DIR}/QuelmSim.rc @ONLY)
  target_sources(quelm-sim PRIVATE ${CMAKE_BINARY_DIR}/QuelmSim.rc)
  quelm_windows_text(${PROJECT_SOURCE_DIR}/docs/disk-authoring.md README.TXT)
  quelm_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.TXT)
  install(TARGETS quelm-sim RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.TXT ${CMAKE_BINARY_DIR}/LICENSE.TXT DESTINATION .)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quelm-sim-${PROJECT_VERSION}-windows-x64)
  include(CPack)
  return()
endif()

if(QUELM_RELEASE)
  # The C++ runtime linked in, so that the program runs on any Linux with the C library it was built
  # against or a later one; symbols left out, as a packaged program has them.
  target_link_options(quelm-sim PRIVATE -static-libstdc++ -static-libgcc -s)
endif()
# The documentation folder is named after the project, not after the package.
set(QUELM_DOC_DIR share/doc/quelm)
install(TARGETS quelm-sim RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/disk-authoring.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${QUELM_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION ${QUELM_DOC_DIR})

set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGE_FILE_NAME quelm-sim-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The QUELM authors <maintainers@users.noreply.c-seed-019d2b77.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "quelm-sim runs a QUELM driver disk's QUELM.INI on a simulated Windows machine, from Windows 95 to\n"
    "Windows 11, shows every message box, card check and installer start it would make, and lints the\n"
    "file for the mistakes the launcher passes over in silence.")
# The C library version comes from what the program really uses (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
