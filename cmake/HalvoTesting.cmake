# halvo_add_gtest(<target> [GUI] [TIMEOUT <s>])
#
# Registers a GoogleTest program with CTest, one CTest entry per test case,
# named <program>.<suite>.<case>; programs are named <deliverable>_<folder>_test
# (ardmon_profile_test, ledgra_xls_test), with a part when a folder has several.
# GUI programs share the one X display that ./run test provides (xvfb-run when
# there is none), and GTK windows of parallel processes on one display disturb
# each other, so GUI tests hold the "x11-display" lock and run one at a time.
find_package(GTest REQUIRED)
include(GoogleTest)

function(halvo_add_gtest target)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT "${HALVO_TEST_ENVIRONMENT}")
  if(ARG_GUI)
    list(APPEND props RESOURCE_LOCK x11-display)
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX ${target}.
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
