# The pieces of the simulated machine and of quelm-sim that differ between the systems the tool runs
# on: each is a pair of files with one implementation per system, and exactly one of each pair is built.
if(WIN32)
  set(QUELM_HOST_SIM_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/src/sim/HostFileWindows.cpp
    ${PROJECT_SOURCE_DIR}/src/sim/SimCodePageWindows.cpp)
  set(QUELM_HOST_TOOL_PLATFORM_SOURCES
    ${PROJECT_SOURCE_DIR}/tools/quelm-sim/console/ConsoleSessionWindows.cpp
    ${PROJECT_SOURCE_DIR}/tools/quelm-sim/pci/LocalPciBusWindows.cpp
    # The launcher's own reader of SetupAPI's device list, which scan and --pci-host show.
    ${PROJECT_SOURCE_DIR}/src/win32/SetupApiDeviceList.cpp)
else()
  set(QUELM_HOST_SIM_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/src/sim/HostFilePosix.cpp
    ${PROJECT_SOURCE_DIR}/src/sim/SimCodePagePosix.cpp)
  set(QUELM_HOST_TOOL_PLATFORM_SOURCES
    ${PROJECT_SOURCE_DIR}/tools/quelm-sim/console/ConsoleSessionPosix.cpp
    ${PROJECT_SOURCE_DIR}/tools/quelm-sim/pci/LocalPciBusLinux.cpp)
endif()
