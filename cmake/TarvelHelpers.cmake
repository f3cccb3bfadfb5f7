# One backend per platform. A Windows build leaves out the sources that need POSIX (named here)
# and takes the win32/ folders in their place; other builds leave the win32/ folders out.
set(TARVEL_POSIX_ONLY_SOURCES
    platform/PosixSerialDevice.cpp platform/SerialDeviceFactory.cpp
    platform/SerialPortDiscovery.cpp platform/DiskDeviceTree.cpp platform/PortDiagnosis.cpp platform/ReadableFile.cpp
    platform/ChildProcess.cpp
    sim/PseudoTerminal.cpp sim/PtyModuleRunner.cpp)
# Test files (by name) that need a pseudo-terminal, POSIX processes or the POSIX serial device.
set(TARVEL_POSIX_ONLY_TESTS PosixSerialDeviceTest RzInteropTest PtyModuleRunnerTest ModuleSlotTest
    SerialPortDiscoveryTest PortTroubleTest FleetWatchTest ChildProcessTest)

# tarvel_core_library(name folder deps...): a static library of every .cpp in <folder> and its
# subfolders, except the window code (ui/ and qt/ subfolders), tool/ mains and the other
# platform's backend.
function(tarvel_core_library name folder)
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER _srcs EXCLUDE REGEX "/(ui|qt|tool)/")
  if(WIN32)
    foreach(_posix ${TARVEL_POSIX_ONLY_SOURCES})
      list(REMOVE_ITEM _srcs ${PROJECT_SOURCE_DIR}/${_posix})
    endforeach()
  else()
    list(FILTER _srcs EXCLUDE REGEX "/win32/")
  endif()
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# tarvel_add_test_files(folder libs...): one GoogleTest executable per test folder,
# <folder>_tests (tests/zmodem -> zmodem_tests, tests/app/ui -> app_ui_tests), built from every
# *Test.cpp in tests/<folder> and its support/ sources: one link per area, shared fixtures once.
function(tarvel_add_test_files folder)
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Test.cpp)
  file(GLOB _support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/support/*.cpp)
  if(WIN32)
    foreach(_t ${_tests})
      get_filename_component(_n ${_t} NAME_WE)
      if(_n IN_LIST TARVEL_POSIX_ONLY_TESTS)
        list(REMOVE_ITEM _tests ${_t})
      endif()
    endforeach()
  endif()
  if(NOT _tests)
    return()
  endif()
  string(REPLACE "/" "_" _f ${folder})
  set(_exe ${_f}_tests)
  add_executable(${_exe} ${_tests} ${_support})
  target_link_libraries(${_exe} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${_exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  # A cross build cannot list the tests by running them; scripts/test-windows.sh runs them.
  if(NOT CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${_exe} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${_f})
  endif()
endfunction()
