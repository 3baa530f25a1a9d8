# Windows build: QUELM.EXE and the stand-in installer program vadrun.exe, both without a C runtime.
enable_language(RC)

# Only what a program names itself is linked: no start-up files, no libgcc, no default Windows libraries.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

# Everything that differs between the shipped i386 build and the 64-bit test build (preset win64).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  # i386 C names carry a leading underscore.
  set(QUELM_SYMBOL_PREFIX "_")
  # The instruction set of the 386, the oldest processor Windows 95 runs on (so no cmov, bswap or
  # cpuid), scheduled for the Pentium, whose pairing rules the Pentium MMX and the K6-2 of the AGP
  # years share. Link-time optimisation generates code at link time, so the link takes them too.
  # 32-bit Windows guarantees only 4-byte stack alignment, and nothing here needs more.
  set(QUELM_ARCH_FLAGS -march=i386 -mtune=pentium -mpreferred-stack-boundary=2 -malign-data=abi)
  # Only 32-bit Windows 9x ever hands a program the configuration ports.
  set(QUELM_ARCH_SOURCES ${PROJECT_SOURCE_DIR}/src/win32/PciMechanism1.cpp
      ${PROJECT_SOURCE_DIR}/src/win32/PortPciSource.cpp)
else()
  set(QUELM_SYMBOL_PREFIX "")
  set(QUELM_ARCH_FLAGS "")
  set(QUELM_ARCH_SOURCES "")
endif()

# No C runtime: the compiler must not turn loops into calls of memset or memcpy on its own. Size before
# speed (-Oz): the launcher spends its time waiting for the user and the installer program, and the
# relocations that Win32s needs must fit in the image's size.
set(QUELM_WIN32_COMPILE_FLAGS ${QUELM_CORE_FLAGS} -fno-tree-loop-distribute-patterns -nostdlib -Oz -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffunction-sections -fdata-sections -fno-ident -fno-stack-protector
    ${QUELM_ARCH_FLAGS} ${QUELM_WARNINGS})
# Subsystem version 3.10, the one Windows NT 3.1 accepts: it refuses images marked for a later version,
# and Windows NT 3.5, Win32s 1.15 and Windows 95 were the first to load those marked 4.0 (KB Q125705).
# Windows 95 and NT 4.0 then treat the launcher as a 3.x application, which changes how its message
# boxes look, not what they do (README, "The Windows program"). Base relocations kept: Win32s loads
# programs away from their preferred base ("A program created with the /FIXED option will not run on
# Win32s", Visual C++ 6.0 linker reference), and Windows 8 and later can be told to refuse images
# without them. No time stamp: the same sources give the same bytes.
set(QUELM_WIN32_LINK_FLAGS ${QUELM_ARCH_FLAGS} -nostdlib -s -Wl,--gc-sections -Wl,--subsystem,windows:3.10
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0 -Wl,--disable-dynamicbase
    -Wl,--enable-reloc-section -Wl,--no-insert-timestamp)
# Declarations as Windows 95 and NT 4.0 had them, so that nothing newer is called by accident.
set(QUELM_WIN32_DEFINITIONS WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_WINDOWS=0x0400)

# Outside link-time optimisation: the calls to memset and memcpy that the compiler creates during it
# must find ordinary machine code.
add_library(quelm_win32_runtime STATIC ${PROJECT_SOURCE_DIR}/src/win32/RuntimeSupport.cpp)
target_compile_options(quelm_win32_runtime PRIVATE ${QUELM_WIN32_COMPILE_FLAGS} -fno-lto)

# windres hands its defines through a shell that eats quotes, so the version goes in by configure_file.
configure_file(${PROJECT_SOURCE_DIR}/src/win32/Quelm.rc.in ${CMAKE_BINARY_DIR}/Quelm.rc @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/tools/vadrun/VadRun.rc.in ${CMAKE_BINARY_DIR}/VadRun.rc @ONLY)

# Compiled once, linked twice: the shipped image and, for the relocation check, the same image linked
# at another base.
add_library(quelm_exe_objects OBJECT
  ${QUELM_CORE_SOURCES}
  ${QUELM_ARCH_SOURCES}
  ${PROJECT_SOURCE_DIR}/src/win32/PackedVersion.cpp
  ${PROJECT_SOURCE_DIR}/src/win32/PciSource.cpp
  ${PROJECT_SOURCE_DIR}/src/win32/SetupApiDeviceList.cpp
  ${PROJECT_SOURCE_DIR}/src/win32/SystemExports.cpp
  ${PROJECT_SOURCE_DIR}/src/win32/Win32Main.cpp
  ${PROJECT_SOURCE_DIR}/src/win32/Win32Platform.cpp
  ${CMAKE_BINARY_DIR}/Quelm.rc
)
target_include_directories(quelm_exe_objects PRIVATE ${PROJECT_SOURCE_DIR}/src)
# QUELM.EXE runs unwatched: the calls to a run's observer, which only a simulation sets, compile away.
target_compile_definitions(quelm_exe_objects PRIVATE ${QUELM_WIN32_DEFINITIONS} QUELM_UNWATCHED)
# Link-time optimisation and the merged sections keep the launcher small.
target_compile_options(quelm_exe_objects PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QUELM_WIN32_COMPILE_FLAGS} -flto>)
set(QUELM_IMAGE_SCRIPT ${PROJECT_SOURCE_DIR}/src/win32/QuelmImage.ld)

function(quelm_launcher_image target name)
  add_executable(${target} WIN32 $<TARGET_OBJECTS:quelm_exe_objects>)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name}
    SUFFIX .EXE
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LINK_DEPENDS ${QUELM_IMAGE_SCRIPT})
  target_link_options(${target} PRIVATE ${QUELM_WIN32_LINK_FLAGS} -Oz -flto
      -Wl,-e,${QUELM_SYMBOL_PREFIX}QuelmEntry -Wl,-T,${QUELM_IMAGE_SCRIPT} ${ARGN})
  target_link_libraries(${target} PRIVATE quelm_win32_runtime kernel32 user32 advapi32 shell32)
endfunction()

quelm_launcher_image(quelm_exe QUELM)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  # Never shipped: tests/e2e/relocation_check.py applies QUELM.EXE's relocations for this base and
  # must get this image byte for byte.
  quelm_launcher_image(quelm_exe_rebased QUELM-REBASED -Wl,--image-base,0x10000000)
endif()

add_executable(vadrun WIN32
  ${PROJECT_SOURCE_DIR}/tools/vadrun/VadRun.cpp
  ${CMAKE_BINARY_DIR}/VadRun.rc
)
set_target_properties(vadrun PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_compile_definitions(vadrun PRIVATE ${QUELM_WIN32_DEFINITIONS})
target_compile_options(vadrun PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QUELM_WIN32_COMPILE_FLAGS}>)
target_link_options(vadrun PRIVATE ${QUELM_WIN32_LINK_FLAGS} -Wl,-e,${QUELM_SYMBOL_PREFIX}VadRunEntry)
target_link_libraries(vadrun PRIVATE quelm_win32_runtime kernel32 user32 gdi32)

# Only the i386 build is shipped: the disk kit (cmake --build --preset win32 --target package), and the
# example disk as it is burnt: its files with QUELM.EXE and, as its installer program, the stand-in
# vadrun.exe; scripts/run-example.sh runs and lints it, and the end-to-end tests lint it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  include(${PROJECT_SOURCE_DIR}/cmake/KitRelease.cmake)
  set(QUELM_EXAMPLE_DISK ${CMAKE_BINARY_DIR}/example-disk)
  add_custom_target(example-disk ALL
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUELM_EXAMPLE_DISK}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/examples/disk ${QUELM_EXAMPLE_DISK}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quelm_exe> $<TARGET_FILE:vadrun> ${QUELM_EXAMPLE_DISK}
    DEPENDS quelm_exe vadrun
    VERBATIM)
endif()
