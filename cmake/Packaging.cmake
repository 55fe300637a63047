# SPDX-License-Identifier: GPL-3.0-or-later
# The packages cpack makes from the install rules: a Debian package on Linux
# (ravelkin_<version>_amd64.deb, scripts/package), a zip file on Windows
# (ravelkin-<version>-win64.zip, scripts/package-windows). A program or module added later
# is packaged by giving it an install rule.
set(CPACK_PACKAGE_NAME ravelkin)
set(CPACK_PACKAGE_VENDOR Ravelkin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop macro runner: find pictures and windows, click and type")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One folder of that name in the zip file.
  set(CPACK_PACKAGE_FILE_NAME ravelkin-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ravelkin developers <ravelkin@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link, with the versions they need, from dpkg-shlibdeps:
  # libwayland-client0 and libxkbcommon0 among them where the Wayland backend is built.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The long description; cpack puts the summary above it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ravelkin runs script files of simple commands against the X11 desktop, a
Wayland compositor built on wlroots such as sway, or KDE Plasma's KWin: find a
picture on the screen or a window by its title, move the pointer there and
click, type text, press keys, wait, and check that a picture or a window is there or not. It reads scripts written on Windows in Shift-JIS too. It has a
small dialog that lists and runs the scripts of a folder, and a command-line
runner (ravelkin --run) for terminals and scheduled jobs.")

  # What Debian asks of every package's documentation: the copyright and a changelog.
  set(_doc ${CMAKE_INSTALL_DATADIR}/doc/ravelkin)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${_doc})
  string(TIMESTAMP _changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in changelog @ONLY)
  execute_process(COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/changelog
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${_doc})
endif()
include(CPack)
