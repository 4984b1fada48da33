# The CMake package of the motion library, installed to <libdir>/cmake/trelvin: the
# exported target trelvin::motion, its config file, and a version file that accepts
# requests for any 1.x version up to the project's own.
include(CMakePackageConfigHelpers)

set(TRELVIN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/trelvin)

install(EXPORT trelvinTargets
  NAMESPACE trelvin::
  DESTINATION ${TRELVIN_PACKAGE_DIR}
  COMPONENT Development
)
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/trelvinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/trelvinConfig.cmake
  INSTALL_DESTINATION ${TRELVIN_PACKAGE_DIR}
)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/trelvinConfigVersion.cmake
  COMPATIBILITY SameMajorVersion
)
install(FILES
  ${PROJECT_BINARY_DIR}/trelvinConfig.cmake
  ${PROJECT_BINARY_DIR}/trelvinConfigVersion.cmake
  DESTINATION ${TRELVIN_PACKAGE_DIR}
  COMPONENT Development
)
