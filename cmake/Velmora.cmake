# Shared CMake helpers.

# The tests' own code, mostly assertions, compiles fastest unoptimised; the
# code under test keeps the build's optimisation. Test code that does heavy
# work of its own (reading files, hex-coding frames) is written to stay
# quick unoptimised (tests/support/read_file.h). The sanitizer builds keep
# -O1: their runs are the slow part there. The tests' precompiled header is
# made with the same level, or the compiler would refuse it.
set(VELMORA_TEST_CODE_OPTIMISATION $<$<CONFIG:Release>:-O0> $<$<CONFIG:RelWithDebInfo>:-O1>)

# velmora_test(NAME SOURCES... LIBS ... [LONG SUITE...]): a GoogleTest program
# run by CTest, one CTest per suite (see SuiteTests.cmake): listed once the
# program is built. Suites named in LONG are labelled "long".
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LONG" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_precompile_headers(${name} REUSE_FROM velmora_test_pch)
  target_compile_definitions(${name} PRIVATE _REENTRANT)
  # (GCC 12 sees a vector's insert overflow at -O1 where it cannot: a known
  # false alarm.)
  target_compile_options(${name} PRIVATE ${VELMORA_TEST_CODE_OPTIMISATION}
                                         $<$<CXX_COMPILER_ID:GNU>:-Wno-stringop-overflow>)
  set(listed ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake)
  list(JOIN ARG_LONG "," long)
  add_custom_command(TARGET ${name} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}> -DOUT=${listed}
                             -DWORKDIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                             -DLONG=${long} -P ${PROJECT_SOURCE_DIR}/cmake/SuiteTests.cmake
                     BYPRODUCTS ${listed}
                     VERBATIM)
  # Until the program is built, CTest shows one test saying so.
  set(include ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)
  file(WRITE ${include} "if(EXISTS [==[${listed}]==])\n  include([==[${listed}]==])\n"
                        "else()\n  add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include})
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
    add_dependencies(fuzzers ${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()

# With VELMORA_FUZZ, `fuzzers` builds every libFuzzer binary and nothing else.
if(VELMORA_FUZZ)
  add_custom_target(fuzzers)
endif()

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

# velmora_unity_builds(DIR...): every library and program declared under the
# folders compiles its sources in batches (CMake's unity builds): most of a
# file's compile time was reading the same headers as its neighbours. A
# source that includes Xlib's headers stays on its own: their macros (None,
# Status, Bool) would break the files after it in a batch.
function(velmora_unity_builds)
  if(NOT VELMORA_UNITY_BUILD)
    return()
  endif()
  foreach(dir ${ARGN})
    velmora_targets_under(targets ${dir})
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(NOT type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
        continue()
      endif()
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
      get_target_property(sources ${target} SOURCES)
      get_target_property(source_dir ${target} SOURCE_DIR)
      foreach(source ${sources})
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} OUTPUT_VARIABLE path)
        if(path MATCHES "\\.cpp$" AND EXISTS ${path})
          file(STRINGS ${path} xlib REGEX "^#include <X11/" LIMIT_COUNT 1)
          if(xlib)
            set_source_files_properties(${path} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
          endif()
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# velmora_targets_under(OUT DIR): the targets declared in DIR and below.
function(velmora_targets_under out dir)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child ${children})
    velmora_targets_under(more ${child})
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
