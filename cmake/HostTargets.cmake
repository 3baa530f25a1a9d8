# Host build: the core as a library, the simulated machine, the quelm-sim tool, tests and benchmarks.
find_package(GTest REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json 3 REQUIRED)

set(QUELM_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)

add_library(quelm_core STATIC ${QUELM_CORE_SOURCES})
target_include_directories(quelm_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(quelm_core PRIVATE ${QUELM_CORE_FLAGS} ${QUELM_WARNINGS})

add_library(quelm_sim STATIC
  src/platform/sim/SimFileSystem.cpp
  src/platform/sim/SimMachine.cpp
  src/platform/sim/SimProfile.cpp
  src/platform/sim/SimRegistry.cpp
)
target_link_libraries(quelm_sim PUBLIC quelm_core)
target_compile_options(quelm_sim PRIVATE ${QUELM_WARNINGS})

add_executable(quelm-sim tools/quelm-sim/main.cpp tools/quelm-sim/SimCommandLine.cpp)
target_link_libraries(quelm-sim PRIVATE quelm_sim CLI11::CLI11 nlohmann_json::nlohmann_json)
target_compile_options(quelm-sim PRIVATE ${QUELM_WARNINGS})

add_executable(pci-scan-bench bench/PciScanBench.cpp)
target_link_libraries(pci-scan-bench PRIVATE quelm_sim)

include(CTest)
enable_testing()
add_subdirectory(tests)
