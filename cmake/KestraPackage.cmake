# The Debian package: `cpack -G DEB` in the build tree, from what the installation rules put in
# (see KestraInstall.cmake), installed under /usr. Its dependencies on system libraries are
# found by dpkg-shlibdeps from the binaries themselves (packaging/package_depends.cmake); the Qt
# plug-ins that are loaded at run time, and so appear in no binary, are named here. The version
# is the newest entry of packaging/changelog, which the configuration checks against the
# project's version.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestra-panel-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "tools for Kestra operator panel projects, panel setup and cards")
set(CPACK_PACKAGE_DESCRIPTION
    "The tool suite around the project editor of the Kestra operator panels:\n\
 - kestra, the command-line host: project information and checks, the\n\
   projects' JSON form, panel images, PLC lists and SmartMedia cards;\n\
 - Kestra Workbench, the desktop program for projects, their pages, fields\n\
   and PLC, with the suite's dialogs, panel images, printing and cards;\n\
 - Clavon, the soft keyboard editor; Panora, the panel setup program;\n\
 - cardload, the SmartMedia card loader;\n\
 - the libraries behind them: the project store, the Simatic S5 PLC driver,\n\
   the utilities, the extension classes and the card access library.\n\
Each program has a manual page; the README and the workbench's manual are in\n\
/usr/share/doc/kestra-panel-tools.")
set(CPACK_PACKAGE_CONTACT
    "Kestra Panel Tools Developers <kestra-panel-tools@lists.kestra-panels.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestra-panels.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
# Not cpack's own dependency search (CPACK_DEBIAN_PACKAGE_SHLIBDEPS), which would add ldconfig
# calls for the libraries of the program folder: see packaging/package_depends.cmake.
set(CPACK_KESTRA_PROGRAM_DIR ${KESTRA_INSTALL_PROGRAM_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/package_depends.cmake)
set(CPACK_STRIP_FILES ON)
include(CPack)
