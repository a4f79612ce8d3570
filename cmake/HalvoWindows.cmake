# The Windows build (MinGW-w64, see mingw-w64.toolchain.cmake): GoogleTest from
# Debian's source copy built with the same toolchain, and test programs linked
# statically so wine needs no MinGW runtime DLLs beside them. ctest runs each
# .exe through CMAKE_CROSSCOMPILING_EMULATOR (wine) in the prefix that
# ./run windows prepares (WINEPREFIX=<build>/wineprefix).
if(HALVO_BUILD_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
    add_library(GTest::gmock_main ALIAS gmock_main)
  endif()
endif()
include(GoogleTest)

# halvo_add_gtest(<target> [GUI] [TIMEOUT <s>]): as on Linux (HalvoTesting.cmake),
# each test program linked -static, discovered and run under wine. GUI programs
# share the one display and run one at a time.
function(halvo_add_gtest target)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  target_link_options(${target} PRIVATE -static)
  set(props TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "LEDGRA_OPEN_WORKBOOK=0")
  if(ARG_GUI)
    list(APPEND props RESOURCE_LOCK x11-display)
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ${props})
endfunction()
