# Run by CTest (see TestSuites.cmake) with SUITES_PROGRAM, SUITES_LIST,
# SUITES_WORKING_DIRECTORY and SUITES_ENVIRONMENT set: lists the program's
# GoogleTest suites into SUITES_LIST when the program is newer, then
# registers them.
if(NOT EXISTS "${SUITES_PROGRAM}")
  add_test("${SUITES_PROGRAM}" "${SUITES_PROGRAM}")
  return()
endif()
if("${SUITES_PROGRAM}" IS_NEWER_THAN "${SUITES_LIST}")
  execute_process(COMMAND "${SUITES_PROGRAM}" --gtest_list_tests
                  WORKING_DIRECTORY "${SUITES_WORKING_DIRECTORY}"
                  OUTPUT_VARIABLE listed RESULT_VARIABLE failed)
  get_filename_component(name "${SUITES_PROGRAM}" NAME)
  set(out "")
  if(failed)
    # The listing itself fails: a test that does the same shows why.
    string(APPEND out "add_test([==[${name}.ListsItsTests]==] [==[${SUITES_PROGRAM}]==] --gtest_list_tests)\n")
  else()
    string(REPLACE ";" "\\;" listed "${listed}")
    string(REPLACE "\n" ";" lines "${listed}")
    set(suite "")
    set(last "")
    foreach(line IN LISTS lines)
      # Typed and value-parameterised lines end in a "# ..." comment.
      string(REGEX REPLACE "  +#.*$" "" line "${line}")
      if(line MATCHES "^([^ ].*)\\.$")
        set(suite "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^  +(.+)$" AND NOT suite STREQUAL "")
        set(test "${CMAKE_MATCH_1}")
        if(suite MATCHES "^DISABLED_|/DISABLED_" OR test MATCHES "^DISABLED_")
          string(REGEX REPLACE "(^|/)DISABLED_" "\\1" shown "${suite}.${test}")
          string(APPEND out "add_test([==[${shown}]==] [==[${SUITES_PROGRAM}]==])\n"
                            "set_tests_properties([==[${shown}]==] PROPERTIES DISABLED TRUE)\n")
        elseif(NOT suite STREQUAL last)
          set(last "${suite}")
          string(APPEND out "add_test([==[${suite}]==] [==[${SUITES_PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
                            "set_tests_properties([==[${suite}]==] PROPERTIES WORKING_DIRECTORY "
                            "[==[${SUITES_WORKING_DIRECTORY}]==] ENVIRONMENT [==[${SUITES_ENVIRONMENT}]==])\n")
        endif()
      endif()
    endforeach()
  endif()
  file(WRITE "${SUITES_LIST}" "${out}")
endif()
include("${SUITES_LIST}")
