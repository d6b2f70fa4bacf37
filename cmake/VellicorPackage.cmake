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
the game's compressed HPI archives, and exports frames as BMP or PNG\n\
files, images as animated GIF or APNG files or sprite sheets, and their\n\
frame data as text. The package holds the viewer, the command-line tool\n\
vellicor-cli (which also converts whole folders and archives and builds\n\
Quv files and HPI archives), the desktop entry, the file types\n\
(recognised by name and by content), icons, a thumbnailer, manual pages\n\
and completion.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A stripped install (the package's, or `cmake --install --strip`) also drops the compilers'
# version strings in .comment, as Debian's own packages do.
foreach(program IN ITEMS vellicor vellicor-cli)
  if(TARGET ${program})
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${program}>\"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()")
  endif()
endforeach()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELLICOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VELLICOR_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
