# The Debian package: `cpack -G DEB` in a build folder (best a Release one). Its dependencies
# come from the binaries themselves (dpkg-shlibdeps); the files are whatever the install rules
# put below the prefix.
set(CPACK_PACKAGE_NAME vellicor)
set(CPACK_PACKAGE_VENDOR "The Vellicor developers")
set(CPACK_PACKAGE_CONTACT "${VELLICOR_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for Quv sprite files and HPI archives")
set(CPACK_PACKAGE_DESCRIPTION
  "Vellicor shows the palette-indexed, multi-frame sprite files (Quv files)\n\
of a classic strategy game, animated or frame by frame, finds them inside\n\
the game's compressed HPI archives, and exports frames as BMP files and\n\
their frame data as text. The package holds the viewer, the command-line\n\
tool vellicor-cli, the desktop entry, the file types (recognised by name\n\
and by content), icons, a thumbnailer, manual pages and completion.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELLICOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VELLICOR_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
