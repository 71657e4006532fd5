# cmake --install BUILD --prefix P puts the two programs in P/bin, the library
# in P/lib, its header in P/include/polyfrep and a CMake package in
# P/lib/cmake/polyfrep, so that another project can say
#   find_package(polyfrep)
#   target_link_libraries(app PRIVATE polyfrep::polyfrep)
include(CMakePackageConfigHelpers)

set(POLYFREP_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/polyfrep)

install(TARGETS polyfrep polyfrep-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The vector-file reader, loaded from here by the installed programs.
install(TARGETS polyfrep_vector_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/polyfrep)
install(TARGETS polyfrep_library EXPORT polyfrepTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/polyfrep/polyfrep.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/polyfrep)
install(EXPORT polyfrepTargets NAMESPACE polyfrep:: DESTINATION ${POLYFREP_PACKAGE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/polyfrepConfig.cmake.in
  ${PROJECT_BINARY_DIR}/polyfrepConfig.cmake
  INSTALL_DESTINATION ${POLYFREP_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/polyfrepConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/polyfrepConfig.cmake
  ${PROJECT_BINARY_DIR}/polyfrepConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/FindGMP.cmake
  DESTINATION ${POLYFREP_PACKAGE_DIR})
