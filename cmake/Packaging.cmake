# The Debian package: `cpack -G DEB` in a build folder makes
# brindlet_<version>-1_<architecture>.deb from what `cmake --install` puts in
# place (the program in /usr/games, the desktop entry, the icons, the manual
# page, the metainfo), installed under /usr, with Debian's copyright file and
# changelog in /usr/share/doc/brindlet in place of the licence. Only this
# package gets them: a distribution's package has its own.
#
# Included before the subdirectories: data/ makes the copyright and the
# Debian changelog from the maintainer and release set here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Brindlet developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "puzzle toy: link glowing pegs of one colour with dotted beams")
# The package's long description, one paragraph in short lines.
set(CPACK_PACKAGE_DESCRIPTION "A hundred glowing red and blue pegs drift over a black playfield.
Click two pegs of one colour family to join them with an animated dotted
beam. A link whose path would pass within a couple of pixels of a link that
is already standing is refused. Every peg takes part in at most one link.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package ships the program without its debugging information.
set(CPACK_STRIP_FILES ON)
# Made by data/: the copyright file and the changelog.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/data/debian_files.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Brindlet developers <brindlet@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends is computed from the libraries the program links (dpkg-shlibdeps,
# from dpkg-dev). The X11 platform plugin comes with libqt6gui6, so the
# program runs with what that finds.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the windows fall back to (DejaVu Sans Mono for the debug window,
# Liberation Sans for Arial), and the Qt Wayland plugin: without it the
# program runs through XWayland only, and not at all on a Wayland desktop
# without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-liberation2, qt6-wayland")

include(CPack)
