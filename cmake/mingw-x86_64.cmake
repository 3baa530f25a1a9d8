# Cross-compiling for 64-bit Windows with the mingw-w64 x86_64 tool chain: a test build only, for
# hosts whose Wine runs 64-bit programs but not 32-bit ones. It is never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUELM_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
