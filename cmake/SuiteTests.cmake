# Run after a GoogleTest program is built: lists its suites and writes one
# CTest per suite into a file CTest includes. A suite runs in one process,
# so its tests share the program's start and their fixture's set-up.
#
#   cmake -DPROGRAM=<test program> -DOUT=<file to write> -DWORKDIR=<dir>
#         -DSOURCE_DIR=<repository> [-DLONG=Suite,Suite...] -P SuiteTests.cmake
#
# A suite named in LONG carries the label "long" (ctest -LE long leaves it
# out) and starts before the others, so it does not finish last.

cmake_minimum_required(VERSION 3.25)
foreach(var PROGRAM OUT WORKDIR SOURCE_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "SuiteTests.cmake needs -D${var}=...")
  endif()
endforeach()
string(REPLACE "," ";" long "${LONG}")

execute_process(COMMAND ${PROGRAM} --gtest_list_tests
                WORKING_DIRECTORY ${WORKDIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${rc}):\n${listing}${errors}")
endif()

# Suites are the unindented lines ending in a dot ("Suite." or, for typed
# and parameterised suites, "Prefix/Suite.  # TypeParam = ...").
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    list(APPEND suites "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES suites)

set(text "")
foreach(suite IN LISTS suites)
  string(APPEND text "add_test([==[${suite}]==] [==[${PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
         "set_tests_properties([==[${suite}]==] PROPERTIES WORKING_DIRECTORY [==[${WORKDIR}]==] "
         "ENVIRONMENT [==[VELMORA_SOURCE_DIR=${SOURCE_DIR}]==]")
  if(suite IN_LIST long)
    string(APPEND text " LABELS long COST 1000")
  endif()
  string(APPEND text ")\n")
endforeach()
file(WRITE ${OUT} "${text}")
