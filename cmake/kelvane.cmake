# Adds every immediate subdirectory of DIR that has a CMakeLists.txt.
function(kelvane_add_subdirectories dir)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# kelvane_module(<name> [DEPS <targets>...]): static library kelvane_<name> from every
# .cpp below the current directory; headers are included as "<name>/file.hpp".
function(kelvane_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_library(kelvane_${name} STATIC ${sources})
  target_include_directories(kelvane_${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(kelvane_${name} PUBLIC Threads::Threads ${ARG_DEPS})
endfunction()

# kelvane_test(<name> [DAEMON] [DEPS <targets>...] [LABELS <labels>...]): one GoogleTest
# binary test_<name> from every .cpp below the current directory, registered with CTest.
# DAEMON: the tests run the daemon binary, found through KELVANE_DAEMON_BINARY.
# Tests labelled "dds" start DDS participants and run inside a private network namespace.
function(kelvane_test name)
  cmake_parse_arguments(ARG "DAEMON" "" "DEPS;LABELS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_executable(test_${name} ${sources})
  target_include_directories(test_${name} PRIVATE "${CMAKE_SOURCE_DIR}/tests")
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE KELVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(ARG_DAEMON)
    target_compile_definitions(test_${name} PRIVATE KELVANE_DAEMON_BINARY="$<TARGET_FILE:kelvane-ws-bridged>")
    add_dependencies(test_${name} kelvane-ws-bridged)
  endif()
  set(labels unit)
  if(ARG_LABELS)
    set(labels ${ARG_LABELS})
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
endfunction()

# kelvane_bench(<name> [DEPS <targets>...]): one Google Benchmark binary bench_<name>.
function(kelvane_bench name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_executable(bench_${name} ${sources})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# kelvane_fuzz(<name> [DEPS <targets>...]): <name>.cpp of the current fuzz directory defines LLVMFuzzerTestOneInput.
# With KELVANE_FUZZ it becomes the libFuzzer binary fuzz_<name>; otherwise it is linked
# with a replay driver and CTest runs it over its seed corpus corpus/<name> beside the source.
function(kelvane_fuzz name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  set(source "${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp")
  if(KELVANE_FUZZ)
    add_executable(fuzz_${name} ${source})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(fuzz_${name} ${source} "${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp")
    add_test(NAME fuzz_corpus_${name}
             COMMAND fuzz_${name} "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
    set_tests_properties(fuzz_corpus_${name} PROPERTIES LABELS unit)
  endif()
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
endfunction()
