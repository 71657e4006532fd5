# Configures a clang sub-build with the libFuzzer targets, builds them and
# runs each for FUZZ_SECONDS on a fresh copy of the seed corpus. Fails when
# clang or its fuzzer runtime is missing, and when a fuzzer finds a crash.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/nested_build_steps.cmake)
if(NOT DEFINED FUZZ_SECONDS)
  set(FUZZ_SECONDS 60)
endif()
set(fuzzers fuzz_reader fuzz_conversion)

find_program(CLANG_CXX NAMES clang++ clang++-14)
if(NOT CLANG_CXX)
  message(FATAL_ERROR
    "clang++ is not installed, so the fuzzers cannot be built. Install the Debian packages "
    "clang and libclang-rt-14-dev (.ci/install-deps does).")
endif()

run_step("configuring the fuzzing build"
  ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CLANG_CXX}
  -DPOLYFREP_FUZZ=ON
  -DBUILD_TESTING=OFF
  -DPOLYFREP_NESTED_TESTS=OFF
  -DPOLYFREP_WARNINGS_AS_ERRORS=${WARNINGS_AS_ERRORS})
run_step("building the fuzzers" ${CMAKE_COMMAND} --build ${BINARY_DIR} -j2 --target ${fuzzers})

# The seed corpus: the hand-made seeds and every golden input.
function(make_corpus directory)
  file(REMOVE_RECURSE ${directory})
  file(MAKE_DIRECTORY ${directory})
  file(GLOB seeds ${SOURCE_DIR}/fuzz/seeds/*)
  file(COPY ${seeds} DESTINATION ${directory})
  file(GLOB cases LIST_DIRECTORIES true ${SOURCE_DIR}/tests/data/*)
  foreach(case IN LISTS cases)
    if(EXISTS ${case}/input.txt)
      get_filename_component(name ${case} NAME)
      file(COPY_FILE ${case}/input.txt ${directory}/golden_${name}.txt)
    endif()
  endforeach()
endfunction()

set(failures "")
foreach(fuzzer IN LISTS fuzzers)
  set(corpus ${BINARY_DIR}/corpus-${fuzzer})
  set(artifacts ${BINARY_DIR}/artifacts/${fuzzer})
  set(log ${BINARY_DIR}/${fuzzer}.log)
  make_corpus(${corpus})
  file(REMOVE_RECURSE ${artifacts})
  file(MAKE_DIRECTORY ${artifacts})

  message(STATUS "running ${fuzzer} for ${FUZZ_SECONDS} s, log in ${log}")
  execute_process(
    COMMAND ${BINARY_DIR}/${fuzzer}
      -max_total_time=${FUZZ_SECONDS}
      -max_len=4096
      -rss_limit_mb=2048
      -timeout=30
      -print_final_stats=1
      -artifact_prefix=${artifacts}/
      ${corpus}
    RESULT_VARIABLE result
    OUTPUT_FILE ${log}
    ERROR_FILE ${log})

  file(READ ${log} output)
  file(GLOB found ${artifacts}/*)
  string(REGEX MATCH "Done [0-9]+ runs in [0-9]+ second" done "${output}")
  if(NOT result EQUAL 0 OR found OR NOT done)
    string(LENGTH "${output}" length)
    if(length GREATER 8000)
      math(EXPR start "${length} - 8000")
      string(SUBSTRING "${output}" ${start} -1 output)
    endif()
    message("${output}")
    message(SEND_ERROR "${fuzzer} failed (exit status ${result}); inputs it kept: ${found}")
    list(APPEND failures ${fuzzer})
  else()
    string(REGEX MATCH "stat::number_of_executed_units: [0-9]+" runs "${output}")
    string(REGEX MATCHALL "cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*" coverage
           "${output}")
    list(POP_BACK coverage last_coverage)
    message(STATUS "${fuzzer}: ${done}s; ${runs}; at the end ${last_coverage}")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "failed: ${failures}; docs/fuzzing.md tells how to reproduce a crash")
endif()
