# The Debian package: `scripts/package` runs cpack on a build. Dependencies are found from the
# libraries the programs link (dpkg-shlibdeps); what Qt loads at run time as plug-ins, and the
# desktop's opener of documents and help, are named here.
set(VASTREL_MAINTAINER "Vastrel developers <developers@vastrel.example>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vastrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VASTREL_MAINTAINER}")
set(CPACK_PACKAGE_VENDOR "Vastrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "classroom testing system for schools")
set(CPACK_PACKAGE_DESCRIPTION "Three programs that share one question bank on a school's local network:
Vezuviroz, the teacher's program and testing server; Student, which finds
the server and takes the test on each student's computer; and Scribant,
the question editor. The vastrel tool works on their files from the
command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
