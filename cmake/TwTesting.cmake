# tw_add_test(<name> SOURCES ... [LIBS ...] [LABELS unit|gui|interop|bench] [WHOLE])
# Tests labelled gui run with the offscreen Qt platform.
# One GoogleTest executable; each test case becomes a ctest test carrying the labels. WHOLE
# registers the program as one ctest test instead (for suites that share a server they start
# once); such programs never run in parallel with each other.
include(GoogleTest)
find_package(GTest REQUIRED)

function(tw_add_test name)
  cmake_parse_arguments(ARG "WHOLE" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tw_testsupport GTest::gmock GTest::gtest_main)
  set(environment "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  # Windows are drawn without a display; no test may ever need one. (A separate property, as
  # test discovery passes each property's value as a single list item.)
  set(gui_environment "")
  if("gui" IN_LIST ARG_LABELS)
    set(gui_environment ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen")
  endif()
  if(ARG_WHOLE)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      LABELS "${ARG_LABELS}" RESOURCE_LOCK servers ENVIRONMENT "${environment}"
      ${gui_environment})
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${environment}" ${gui_environment})
  endif()
endfunction()
