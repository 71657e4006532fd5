# The library is built in layers, each a folder of src/ that may use only the
# layers below it:
#
#   geometry -> polygon -> formula -> io -> driver, check
#
# Every layer's headers are included as "layer/header.h". A layer's include
# root is a folder of the build tree that holds nothing but a link to its own
# source folder, and a layer sees the roots of the layers below it only; so
# an include that runs backwards (geometry including "formula/...") does not
# compile.
#
# polyfrep_layer(NAME SOURCES ... [BELOW layer ...])
#   polyfrep_NAME_headers  interface target: NAME's headers and those below
#   polyfrep_NAME          the layer's compiled sources (an object library)
function(polyfrep_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;BELOW")
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)

  add_library(polyfrep_${name}_headers INTERFACE)
  target_include_directories(polyfrep_${name}_headers INTERFACE ${root})
  foreach(below IN LISTS LAYER_BELOW)
    target_link_libraries(polyfrep_${name}_headers INTERFACE polyfrep_${below}_headers)
  endforeach()

  add_library(polyfrep_${name} OBJECT ${LAYER_SOURCES})
  target_link_libraries(polyfrep_${name} PUBLIC polyfrep_${name}_headers)
  set_property(GLOBAL APPEND PROPERTY POLYFREP_LAYER_OBJECTS $<TARGET_OBJECTS:polyfrep_${name}>)
endfunction()
