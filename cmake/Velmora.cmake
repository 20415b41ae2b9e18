# Shared CMake helpers.

# velmora_test(NAME SOURCES... LIBS ... [WHOLE_SUITES SUITE...]): a GoogleTest
# executable run by CTest, one CTest per test. A suite named in WHOLE_SUITES
# is one CTest of that name instead: its tests share an expensive set-up
# (SetUpTestSuite), which one process per test would repeat.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;WHOLE_SUITES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_precompile_headers(${name} REUSE_FROM velmora_test_pch)
  target_compile_definitions(${name} PRIVATE _REENTRANT)
  # The code under test keeps the build's optimisation; the tests' own code,
  # mostly assertions, compiles in about half the time at -O1. (GCC 12 sees
  # a vector's insert overflow at -O1 where it cannot: a known false alarm.)
  target_compile_options(${name} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-O1>
                                         $<$<CXX_COMPILER_ID:GNU>:-Wno-stringop-overflow>)
  set(whole "")
  foreach(suite ${ARG_WHOLE_SUITES})
    add_test(NAME ${suite} COMMAND ${name} --gtest_filter=${suite}.*
             WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    set_tests_properties(${suite} PROPERTIES ENVIRONMENT "VELMORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    list(APPEND whole "${suite}.*")
  endforeach()
  set(filter "")
  if(whole)
    list(JOIN whole ":" whole)
    set(filter TEST_FILTER "-${whole}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST ${filter}
                       WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                       PROPERTIES ENVIRONMENT "VELMORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# velmora_fuzz_target(NAME SOURCE LIBS ...): with VELMORA_FUZZ a libFuzzer
# binary; always a CTest, fuzz_regress.NAME, that replays every file kept in
# tests/fuzz/regressions/NAME/ and the seed corpus tests/fuzz/corpus/NAME/
# through the same entry point (under the sanitizers in the asan preset). The replays of
# all targets share one program (velmora_fuzz_regress_program, called once
# the whole test tree is declared): each entry point is compiled under a
# name of its own and chosen by the first argument.
function(velmora_fuzz_target name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_library(${name}_entry OBJECT ${source})
  target_compile_definitions(${name}_entry PRIVATE LLVMFuzzerTestOneInput=velmora_fuzz_${name})
  target_link_libraries(${name}_entry PUBLIC ${ARG_LIBS})
  target_include_directories(${name}_entry PRIVATE ${PROJECT_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY VELMORA_FUZZ_TARGETS ${name})
  if(VELMORA_FUZZ)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()

# The one program behind every fuzz_regress.NAME test.
function(velmora_fuzz_regress_program)
  get_property(names GLOBAL PROPERTY VELMORA_FUZZ_TARGETS)
  set(table "// Generated: the fuzz entry points the regression replays can run.\n")
  foreach(name ${names})
    string(APPEND table "VELMORA_FUZZ_ENTRY(${name})\n")
  endforeach()
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/fuzz/fuzz_entries.h CONTENT "${table}")
  add_executable(fuzz_regress ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_include_directories(fuzz_regress PRIVATE ${PROJECT_BINARY_DIR}/fuzz)
  foreach(name ${names})
    target_link_libraries(fuzz_regress PRIVATE ${name}_entry)
    add_test(NAME fuzz_regress.${name}
             COMMAND fuzz_regress ${name} ${PROJECT_SOURCE_DIR}/tests/fuzz/regressions/${name}
                     ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  endforeach()
endfunction()

# velmora_layer_includes(TARGET PUBLIC|PRIVATE|INTERFACE PATH...): an include
# root in the build tree holding only the listed source files and folders (as
# symbolic links), so includes keep their root-relative spelling
# ("gfx/sprite/sprite.h") while every folder the target may not see is simply
# absent and a wrong include fails to compile.
# A PRIVATE view gets a root of its own, so it never leaks to users.
function(velmora_layer_includes target scope)
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  if(scope STREQUAL "PRIVATE")
    set(root ${root}-private)
  endif()
  # Made afresh by each configure, so a path taken out of a view is gone.
  # (Removing a symbolic link never touches what it points to.)
  get_property(made GLOBAL PROPERTY VELMORA_LAYER_ROOTS)
  if(NOT root IN_LIST made)
    file(REMOVE_RECURSE ${root})
    set_property(GLOBAL APPEND PROPERTY VELMORA_LAYER_ROOTS ${root})
  endif()
  foreach(path ${ARGN})
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
