# Cross-compiling for 32-bit Windows with the mingw-w64 i686 tool chain: the shipped QUELM.EXE.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUELM_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
