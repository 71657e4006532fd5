# Installs the build into a fresh prefix, then builds and runs a program of
# its own against it, as another project would: find_package(polyfrep) and
# polyfrep::polyfrep. Also runs the installed converter on the bundled
# example. Any failing step fails the script.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/nested_build_steps.cmake)
foreach(variable IN ITEMS WORK_DIR CXX_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "-D${variable}=... is required")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run_step("installing" ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
foreach(installed IN ITEMS bin/polyfrep bin/polyfrep-check include/polyfrep/polyfrep.h)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "the install has no ${installed}")
  endif()
endforeach()

run_step("configuring the consumer"
  ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/consumer -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run_step("building the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)

set(expected "(6)*(((7*8)+((9+10)*(11*0)))*(((1*2)+(3))+(4*5)))")
execute_process(COMMAND ${WORK_DIR}/consumer/ibeam_formula
  OUTPUT_VARIABLE printed OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT printed STREQUAL expected)
  message(FATAL_ERROR "the consumer printed '${printed}' (status ${result}), not '${expected}'")
endif()

file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${prefix}/bin/polyfrep ${SOURCE_DIR}/examples/polyIn2.txt ibeam.hf
  WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE result OUTPUT_QUIET)
file(READ ${WORK_DIR}/run/Formula.txt written)
if(NOT result EQUAL 0 OR NOT written STREQUAL expected)
  message(FATAL_ERROR "the installed converter wrote '${written}' (status ${result})")
endif()
message(STATUS "the installed library and converter give ${printed}")

# A region from a vector file: the installed converter loads the installed
# vector module.
execute_process(COMMAND ${prefix}/bin/polyfrep
  ${SOURCE_DIR}/tests/data/region_island_in_hole/input.geojson lake.hf
  WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE result OUTPUT_QUIET)
file(READ ${WORK_DIR}/run/Formula.txt written)
file(READ ${SOURCE_DIR}/tests/data/region_island_in_hole/Formula.txt expected)
if(NOT result EQUAL 0 OR NOT written STREQUAL expected)
  message(FATAL_ERROR "the installed converter wrote '${written}' for a region (status ${result})")
endif()
