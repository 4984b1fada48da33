# A Debian package of the tool: `cpack -G DEB` in the build folder gives
# trelvin_<version>_<arch>.deb with /usr/bin/trelvin, its man page and the example
# take (the Runtime component). The library, its headers and its CMake package (the
# Development component) stay out of it; `cmake --install` installs them.
set(TRELVIN_PACKAGE_MAINTAINER "trelvin maintainers <maintainers@trelvin.example>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME trelvin)
set(CPACK_PACKAGE_VENDOR "trelvin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "moves recorded motion from one skeleton onto another")
set(CPACK_PACKAGE_DESCRIPTION
  "trelvin rewrites a motion-capture take recorded on one skeleton so that another\n\
skeleton, with other rest transforms, takes the same poses: every joint's rotation\n\
channels are corrected and written as Z-Y-X Euler angles. The original take is kept\n\
beside the result, with a comma in front of its name.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRELVIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
find_program(TRELVIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TRELVIN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

include(CPack)
