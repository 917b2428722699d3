# engine_add_test_suites(<target> WORKING_DIRECTORY <dir> ENVIRONMENT <var=value>...)
# Registers one CTest test per GoogleTest suite of <target>: each runs the
# suite's tests in one process. A test per GoogleTest test would start the
# sanitized program once per test, and that start-up cost more than the
# tests themselves. The suites are listed when CTest starts (and the program
# is newer than the last list), so a new test needs no CMake run. Disabled
# tests are registered one by one, disabled, so that CTest names them.
# ctest -R <suite> runs a suite; one test alone: the program with
# --gtest_filter=<Suite>.<Test>.
function(engine_add_test_suites target)
  cmake_parse_arguments(S "" "WORKING_DIRECTORY" "ENVIRONMENT" ${ARGN})
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake")
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake")
  file(GENERATE OUTPUT "${include_file}" CONTENT
"set(SUITES_PROGRAM \"$<TARGET_FILE:${target}>\")
set(SUITES_LIST \"${list_file}\")
set(SUITES_WORKING_DIRECTORY \"${S_WORKING_DIRECTORY}\")
set(SUITES_ENVIRONMENT \"${S_ENVIRONMENT}\")
include(\"${PROJECT_SOURCE_DIR}/cmake/TestSuitesList.cmake\")
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
