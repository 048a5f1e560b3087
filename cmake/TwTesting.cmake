# tw_add_test(<name> SOURCES ... [LIBS ...] [LABELS unit|gui|interop|bench])
# One GoogleTest executable; each test case becomes a ctest test carrying the labels.
include(GoogleTest)
find_package(GTest REQUIRED)

function(tw_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tw_testsupport GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
