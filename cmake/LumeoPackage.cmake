# The Debian package: `cpack -G DEB` in a build folder (after the build)
# makes lumeo_VERSION_ARCH.deb. Its dependencies are read from the libraries
# the program links (dpkg-shlibdeps) plus what is loaded at run time; its
# post-install step lets normal users ping.
set(CPACK_PACKAGE_NAME lumeo)
set(CPACK_PACKAGE_VENDOR Korvell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(LUMEO_PACKAGE_MAINTAINER "Korvell <lumeo@korvell.invalid>" CACHE STRING "The Debian package's maintainer, name and address")
set(CPACK_PACKAGE_CONTACT "${LUMEO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep a list of office workstations and ping them")
# The synopsis above is the first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumeo is a desktop tool for the people who look after a small office
network. It keeps a list of workstations (name, IPv4 address, workgroup)
and pings the ones ticked; each row shows whether the machine answered,
the reply size and round-trip time or why it failed, and when it was
last tested. Lists are kept in session files (*.lu).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not seen by shlibdeps: the window system's platform
# plugins, the SVG pictures' plugins; setcap for the post-install step.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, qt6-qpa-plugins, libqt6svg6")

set(LUMEO_INSTALLED_PROGRAM ${CPACK_PACKAGING_INSTALL_PREFIX}/bin/lumeo)
configure_file(${PROJECT_SOURCE_DIR}/packaging/postinst.in ${PROJECT_BINARY_DIR}/package/postinst @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
