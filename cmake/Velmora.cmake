# Shared CMake helpers.

# velmora_test(NAME SOURCES... LIBS ...): a GoogleTest executable run by CTest.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                       PROPERTIES ENVIRONMENT "VELMORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# velmora_fuzz_target(NAME SOURCE LIBS ...): with VELMORA_FUZZ a libFuzzer
# binary; always a CTest that replays every file kept in
# tests/fuzz/regressions/NAME/ and the seed corpus tests/fuzz/corpus/NAME/
# through the same entry point (under the sanitizers in the asan preset).
function(velmora_fuzz_target name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  set(corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/regressions/${name})
  add_executable(${name}_regress ${source} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_link_libraries(${name}_regress PRIVATE ${ARG_LIBS})
  target_include_directories(${name}_regress PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME fuzz_regress.${name} COMMAND ${name}_regress ${corpus} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  if(VELMORA_FUZZ)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()

# velmora_layer_includes(TARGET PUBLIC|PRIVATE|INTERFACE PATH...): an include
# root in the build tree holding only the listed source files and folders (as
# symbolic links), so includes keep their root-relative spelling
# ("gfx/sprite.h") while every folder the target may not see is simply
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
