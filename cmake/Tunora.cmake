# Shared build helpers: warnings, sanitizers, tests, fuzz targets and benchmarks.
include_guard(GLOBAL)
include(GoogleTest)

set(TUNORA_WARNINGS -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual
    -Wmissing-declarations -Wno-unused-parameter)
if(TUNORA_WERROR)
  list(APPEND TUNORA_WARNINGS -Werror)
endif()

if(TUNORA_SANITIZE)
  add_compile_options(-fsanitize=${TUNORA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TUNORA_SANITIZE})
endif()

if(TUNORA_FUZZ)
  # Coverage instrumentation for everything, so the fuzzers see into our libraries.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# tunora_target_defaults(<target>): warnings for our own code.
function(tunora_target_defaults target)
  target_compile_options(${target} PRIVATE ${TUNORA_WARNINGS})
endfunction()

# tunora_add_test(<name> SOURCES ... [LIBS ...] [LABEL <module>])
# A GoogleTest executable whose cases become CTest tests labelled by module.
function(tunora_add_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tunora_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  if(NOT T_LABEL)
    set(T_LABEL misc)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
    PROPERTIES LABELS ${T_LABEL} TIMEOUT 300
    DISCOVERY_TIMEOUT 60)
endfunction()

# tunora_add_fuzzer(<name> SOURCES ... [LIBS ...] [CORPUS <dir>] [LABEL <module>])
# With TUNORA_FUZZ the target is a libFuzzer binary. Otherwise it is linked with
# a small replay driver and CTest runs it over the committed corpus, so every
# build re-checks the inputs the fuzzer once found interesting.
function(tunora_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  tunora_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzz")
  if(TUNORA_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE "${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp")
    if(F_CORPUS)
      if(NOT F_LABEL)
        set(F_LABEL fuzz)
      endif()
      add_test(NAME fuzz_replay.${name} COMMAND ${name} "${F_CORPUS}")
      set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS "${F_LABEL};fuzz" TIMEOUT 600)
    endif()
  endif()
endfunction()

# tunora_add_bench(<name> SOURCES ... [LIBS ...])
# Benchmarks are always optimised, whatever the build type, so figures compare.
function(tunora_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  tunora_target_defaults(${name})
  target_compile_options(${name} PRIVATE -O2)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${B_LIBS} Threads::Threads)
  if(TARGET benchmark::benchmark)
    target_link_libraries(${name} PRIVATE benchmark::benchmark)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endfunction()
