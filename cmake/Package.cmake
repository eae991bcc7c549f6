# The Debian package: `cpack -G DEB` in a build folder (configured with the
# window, so that cmake/Install.cmake has run) writes
# marrowick_<version>_amd64.deb, which installs the files of cmake/Install.cmake
# under /usr whatever CMAKE_INSTALL_PREFIX says; the program finds its data
# folder relative to itself, so the same binary serves both.
#
# The maintainer scripts in resources/debian/ put marrowick into xscreensaver's
# list of hacks (see the comment at the top of resources/debian/postinst).
if(NOT TARGET marrowick_presentation)
  return()  # the package is the windowed program; a headless build has none
endif()

set(MARROWICK_DEBIAN_DIR ${CMAKE_SOURCE_DIR}/resources/debian)

# The changelog's newest entry names the version the package carries.
file(STRINGS ${MARROWICK_DEBIAN_DIR}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^marrowick \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/debian/changelog must start with an entry for "
                      "${PROJECT_VERSION}, found: ${changelog_head}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marrowick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Marrowick developers")
# The address is a placeholder until the project has one of its own.
set(MARROWICK_PACKAGE_MAINTAINER "The Marrowick developers <marrowick@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${MARROWICK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ant colony screen saver steered by an expert system")
set(CPACK_PACKAGE_DESCRIPTION
"Marrowick shows a live ant colony on a 128 x 128 world, seen from a slowly
orbiting 3D camera. Wanderers explore and lay pheromone trails home from the
food they find, gatherers follow the trails out, the reserve meanders around
the nest, and the colony eats, breeds and starves. A small expert system on
the CLIPS rule engine reads the colony's state every 52 steps and retunes its
mix of roles. Statistics and three history graphs run alongside.

The package registers the screen saver with xscreensaver. It also runs in an
ordinary window with option dialogs (marrowick --window) and without any
display (marrowick --headless).")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # marrowick_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binary itself. Opened by name at run time: the
# font, and libGL (SDL loads it to make the GL context).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libgl1")
# The screen saver needs xscreensaver and its GL visual finder to be started.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver, xscreensaver-gl")
set(CPACK_DEBIAN_PACKAGE_ENHANCES "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${MARROWICK_DEBIAN_DIR}/postinst
    ${MARROWICK_DEBIAN_DIR}/postrm
    ${MARROWICK_DEBIAN_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
