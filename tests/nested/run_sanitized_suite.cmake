# Configures a sub-build of the source tree with AddressSanitizer and
# UndefinedBehaviorSanitizer, builds it and runs its whole test suite except
# the nested tests. Any failing step fails the script.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/nested_build_steps.cmake)
if(NOT DEFINED CXX_COMPILER)
  message(FATAL_ERROR "-DCXX_COMPILER=... is required")
endif()

run_step("configuring the sanitized build"
  ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  -DCMAKE_BUILD_TYPE=Debug
  # Light optimisation keeps the sanitized suite within the CI time; the
  # sanitizers see the same faults, with usable stack traces.
  "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g"
  -DPOLYFREP_SANITIZE=ON
  -DPOLYFREP_NESTED_TESTS=OFF
  -DPOLYFREP_WARNINGS_AS_ERRORS=${WARNINGS_AS_ERRORS})
run_step("building the sanitized build" ${CMAKE_COMMAND} --build ${BINARY_DIR} -j2)
# AddressSanitizer reserves terabytes of address space for its shadow memory
# at start-up, so a program run under an address-space limit (ulimit -v)
# cannot start at all. The one test that needs such a limit to exhaust memory
# runs in the ordinary build only.
set(needs_address_space_limit "^Faults\\.MemoryExhaustionIsReportedNotACrash$")
run_step("testing the sanitized build"
  ${CTEST_COMMAND} --test-dir ${BINARY_DIR} --output-on-failure --no-tests=error -LE "nested|lint"
  -E "${needs_address_space_limit}" -j2)
