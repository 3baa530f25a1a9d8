# Host build: the core as a library, the simulated machine, the quelm-sim tool, tests and benchmarks.
# The Windows build of quelm-sim (QUELM_WINDOWS_TOOL) takes the same targets up to quelm-sim itself.
option(QUELM_FUZZ "Build only the core, the simulated machine and the libFuzzer targets (clang)" OFF)
include(${PROJECT_SOURCE_DIR}/cmake/HostPlatform.cmake)
if(QUELM_WINDOWS_TOOL)
  include(${PROJECT_SOURCE_DIR}/cmake/WindowsTool.cmake)
elseif(NOT QUELM_FUZZ)
  find_package(GTest REQUIRED)
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
endif()

option(QUELM_SANITIZE "Build the host targets with the address and undefined-behaviour sanitizers" OFF)
if(QUELM_SANITIZE)
  # The core has no RTTI, which the virtual-pointer check needs.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(quelm_core STATIC ${QUELM_CORE_SOURCES})
target_include_directories(quelm_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quelm_core PRIVATE ${QUELM_CORE_FLAGS} ${QUELM_WARNINGS})

add_library(quelm_sim STATIC
  src/sim/SimCodePage.cpp
  src/sim/SimFileSystem.cpp
  src/sim/FaultInjection.cpp
  src/sim/NearestWord.cpp
  src/sim/SimDesktop.cpp
  src/sim/SimMachine.cpp
  src/sim/SimProfile.cpp
  src/sim/SimRegistry.cpp
  src/sim/SimText.cpp
  src/sim/WindowsReleases.cpp
  src/sim/RegFile.cpp
  src/sim/ScriptCause.cpp
  src/sim/SimObservation.cpp
  src/sim/TokenMeaning.cpp
  ${QUELM_HOST_SIM_PLATFORM_SOURCES}
)
target_link_libraries(quelm_sim PUBLIC quelm_core)
target_compile_options(quelm_sim PRIVATE ${QUELM_WARNINGS})

# The reader of disk images and the AutoRun model, shared by quelm-sim's commands; the reader is fuzzed
# on its own.
add_library(quelm_medium STATIC
  tools/quelm-sim/autorun/AutoRun.cpp
  tools/quelm-sim/medium/FatImage.cpp
  tools/quelm-sim/medium/ImageBytes.cpp
  tools/quelm-sim/medium/Iso9660.cpp
  tools/quelm-sim/medium/Medium.cpp
  tools/quelm-sim/medium/ReleaseView.cpp
)
target_include_directories(quelm_medium PUBLIC ${PROJECT_SOURCE_DIR}/tools/quelm-sim)
target_link_libraries(quelm_medium PUBLIC quelm_sim)
target_compile_options(quelm_medium PRIVATE ${QUELM_WARNINGS})

# lint and what it reads card entries with: in the tool, and in the fuzz build's lint target.
set(QUELM_LINT_SOURCES
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/AutoRunChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/CardListChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/CheckTable.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/Directives.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/Fixes.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/FlowChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/EncodingChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/FindingRendering.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/Linter.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/LintText.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/MediumChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/MessageChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/ProgramChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/lint/ScriptChecks.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/pci/PciIds.cpp
  ${PROJECT_SOURCE_DIR}/tools/quelm-sim/pci/PciFunctionText.cpp
)

if(QUELM_FUZZ)
  # The fuzz build ends here: the core and the simulated machine, instrumented, and the fuzz targets.
  include(${PROJECT_SOURCE_DIR}/cmake/FuzzTargets.cmake)
  return()
endif()

# Everything of quelm-sim but its option parser, so that tests can drive it directly.
add_library(quelm_sim_tool STATIC
  tools/quelm-sim/console/RunOptions.cpp
  tools/quelm-sim/events/EventRendering.cpp
  ${QUELM_LINT_SOURCES}
  tools/quelm-sim/pci/AgpCapability.cpp
  tools/quelm-sim/pci/HostPciBus.cpp
  tools/quelm-sim/pci/LspciListing.cpp
  tools/quelm-sim/scan/ScanRendering.cpp
  tools/quelm-sim/GuideTables.cpp
  ${QUELM_HOST_TOOL_PLATFORM_SOURCES}
)
target_include_directories(quelm_sim_tool PUBLIC ${PROJECT_SOURCE_DIR}/tools/quelm-sim)
target_link_libraries(quelm_sim_tool PUBLIC quelm_medium nlohmann_json::nlohmann_json)
target_compile_options(quelm_sim_tool PRIVATE ${QUELM_WARNINGS})

add_executable(quelm-sim
  tools/quelm-sim/main.cpp
  tools/quelm-sim/lint/LintCommand.cpp
  tools/quelm-sim/run/RunCommand.cpp
  tools/quelm-sim/run/SystemsTable.cpp
  tools/quelm-sim/scan/ScanCommand.cpp
)
target_link_libraries(quelm-sim PRIVATE quelm_sim_tool CLI11::CLI11)
target_compile_options(quelm-sim PRIVATE ${QUELM_WARNINGS})
target_compile_definitions(quelm-sim PRIVATE QUELM_VERSION="${PROJECT_VERSION}")
include(${PROJECT_SOURCE_DIR}/cmake/ToolRelease.cmake)
if(QUELM_WINDOWS_TOOL)
  return()
endif()

add_executable(pci-scan-bench bench/PciScanBench.cpp)
target_link_libraries(pci-scan-bench PRIVATE quelm_sim)
add_executable(lint-bench bench/LintBench.cpp)
target_link_libraries(lint-bench PRIVATE quelm_sim_tool)

