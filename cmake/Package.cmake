# A Debian package of the panel: `cpack -G DEB` in the build folder, or scripts/package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellmarinox-simple-panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quellmarinox Simple Panel maintainers <maintainers@quellmarinox.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator's panel for a networked remote I/O unit")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped as Debian strips: cmake/StripPackage.cmake, run over the staging tree.
set(CPACK_QMX_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/StripPackage.cmake")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION
    "The panel polls a remote unit with 16 digital inputs, 8 analogue inputs and
16 outputs over UDP, shows every input and output, raises alarms on inputs and
on loss of the link, lets the operator accept and reset them, toggles and
pulses outputs, sounds an alarm while an alarm waits to be accepted, and
writes every event to a daily log in ${QMX_LOG_DIR}.

Operators are the members of the group quellmarinox, which may write the
logs. The package also holds quellmarinox-unit-sim, a simulated unit on
127.0.0.1 for trying the panel without hardware.")
# The libraries come from dpkg-shlibdeps; these are what the panel needs besides them:
# adduser and acl for the postinst, a font of Tahoma's width, and a sound server for the alarm.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, acl, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio")
# The maintainer scripts name the folders the install rules use (cmake/ProjectOptions.cmake).
configure_file(packaging/debian/postinst ${PROJECT_BINARY_DIR}/debian/postinst @ONLY)
configure_file(packaging/debian/postrm ${PROJECT_BINARY_DIR}/debian/postrm @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/debian/postinst" "${PROJECT_BINARY_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
