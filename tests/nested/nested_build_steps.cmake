# Steps shared by the scripts that drive a sub-build from a test.

foreach(variable IN ITEMS SOURCE_DIR BINARY_DIR GENERATOR CTEST_COMMAND WARNINGS_AS_ERRORS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${CMAKE_CURRENT_LIST_FILE}: -D${variable}=... is required")
  endif()
endforeach()

# Runs one command with its output passed through; stops the script, and so
# fails the test, when the command fails.
function(run_step description)
  message(STATUS "${description}: ${ARGN}")
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${description} failed: ${result}")
  endif()
endfunction()

# Sanitizer reports with a stack trace, and the first report ends the process.
set(ENV{UBSAN_OPTIONS} "print_stacktrace=1:halt_on_error=1")
set(ENV{ASAN_OPTIONS} "abort_on_error=0:detect_stack_use_after_return=1")
