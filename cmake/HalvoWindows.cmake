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

# No wxWidgets on Windows: the front ends there are the system's own.
add_library(halvo_wx INTERFACE)

# halvo_add_gtest(<target> [GUI] [TIMEOUT <s>] [EXCLUDE <gtest patterns...>]): as on
# Linux (HalvoTesting.cmake), but each program is linked -static and runs as
# one CTest entry (a wine start costs seconds, so not one per test case).
# EXCLUDE names test cases that check what Wine does differently from Windows.
function(halvo_add_gtest target)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "EXCLUDE" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  target_link_options(${target} PRIVATE -static)
  set(filter)
  if(ARG_EXCLUDE)
    list(JOIN ARG_EXCLUDE ":" excluded)
    set(filter "--gtest_filter=-${excluded}")
  endif()
  add_test(NAME ${target} COMMAND ${target} ${filter})
  set_tests_properties(${target} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${HALVO_TEST_ENVIRONMENT}")
  if(ARG_GUI)
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK x11-display)
  endif()
endfunction()
