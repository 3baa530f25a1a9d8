# What the release archives share: texts for Windows readers, and entries whose bytes do not depend on
# who builds them, where, or when.

# Folders made by the installation step keep the same permissions whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

# Makes OUTPUT (in the build folder) from INPUT with CR LF line ends, as part of every build.
function(quelm_windows_text input output)
  get_filename_component(name ${output} NAME)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${CMAKE_BINARY_DIR}/${output}
            -P ${PROJECT_SOURCE_DIR}/cmake/CrLfText.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/CrLfText.cmake VERBATIM)
  add_custom_target(quelm_text_${name} ALL DEPENDS ${CMAKE_BINARY_DIR}/${output})
endfunction()

# Archive entries take their times from SOURCE_DATE_EPOCH, which scripts/release.sh sets from the commit;
# the archives' own names and the packages' versions from the one version in the top-level project().
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The QUELM authors")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CanonicalArchives.cmake)
