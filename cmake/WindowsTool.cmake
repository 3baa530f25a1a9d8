# quelm-sim.exe for 64-bit Windows (preset tool-win64): the host tool's own sources, cross-built with
# mingw-w64 into one program that needs no DLL beyond those every Windows has.

# CLI11 and nlohmann-json are header-only, and Debian ships them for the host alone. The cross compiler
# gets a copy of those two folders and nothing else of /usr/include, whose glibc headers would shadow
# mingw-w64's own.
set(QUELM_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(header IN ITEMS CLI/CLI.hpp nlohmann/json.hpp)
  string(REGEX REPLACE "/.*" "" folder ${header})
  find_path(QUELM_${folder}_INCLUDE_DIR ${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT QUELM_${folder}_INCLUDE_DIR)
    message(FATAL_ERROR "${header} is missing: install libcli11-dev and nlohmann-json3-dev "
                        "(scripts/setup.sh does)")
  endif()
  file(COPY ${QUELM_${folder}_INCLUDE_DIR}/${folder} DESTINATION ${QUELM_HOST_HEADERS})
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${QUELM_HOST_HEADERS})

# Windows 7 and later: nothing the tool calls is newer, and disk authors work on today's machines.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601)
enable_language(RC)
# One file: the C++ runtime and libgcc linked in, only Windows' own DLLs (KERNEL32, msvcrt and the like)
# imported. No symbols and no time stamp, so that the same sources give the same bytes.
add_link_options(-static -s -Wl,--no-insert-timestamp)
