# The Debian package: `cpack -G DEB` in the build tree, from what the installation rules put in
# (see KestraInstall.cmake), installed under /usr. Its dependencies on system libraries are
# found by dpkg-shlibdeps from the binaries themselves; the Qt plug-ins that are loaded at run
# time, and so appear in no binary, are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestra-panel-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Tools for Kestra operator panel projects: project store, S5 driver, panel setup, cards")
set(CPACK_PACKAGE_DESCRIPTION
    "The tool suite around the Kestra panel project editor: the kestra command-line host\n\
(project check, JSON form, panel image, PLC list printing, SmartMedia cards), the card\n\
loader, the panel setup program, the keyboard editor and their libraries.")
set(CPACK_PACKAGE_CONTACT "Kestra panel tools developers <kestra-tools@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The suite's own libraries lie in the program folder, not on the system's library path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${KESTRA_BIN_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
