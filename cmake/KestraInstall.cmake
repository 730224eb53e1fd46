# Installation and the Debian package.
#
# An installation is laid out around the program folder, as in the build tree:
#
#   <prefix>/lib/kestra/        the program folder: programs, libraries and data side by side,
#                               with the shipped Windows folder "windows/"
#   <prefix>/bin/<program>      a launcher for each program a user starts (kestra-launcher.sh.in)
#   <prefix>/share/...          desktop entries, icons, file types and AppStream metadata of the
#                               keyboard editor and the workbench, the manual pages, the bash
#                               completion of kestra, and the documentation with the copyright
#                               file and the changelog (packaging/)
#
# Only what a user needs is installed: the deliverable libraries, the programs listed below and
# the data. Tests, fuzz targets, benchmarks, galleries and test modules stay in the build tree.

include(GNUInstallDirs)

set(KESTRA_INSTALL_PROGRAM_DIR lib/kestra)
set(KESTRA_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestra-panel-tools)

# The programs a user starts from a shell or a menu: each gets a launcher in bin/.
set(KESTRA_USER_PROGRAMS kestra cardload smlogical Clavon Panora panora-request image-viewer)
# Kestra Workbench, the desktop program (its files under share/ are at the end).
list(APPEND KESTRA_USER_PROGRAMS kestra-workbench)
# Programs that other programs start from the program folder.
set(KESTRA_HELPER_PROGRAMS HHlpStub)

# Every shared library that a subsystem folder builds (test modules live under tests/).
function(kestra_collect_libraries dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    set(found "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        kestra_collect_libraries(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

set(kestra_libraries "")
foreach(dir IN LISTS KESTRA_SUBSYSTEMS)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
        kestra_collect_libraries(${CMAKE_SOURCE_DIR}/${dir} found)
        list(APPEND kestra_libraries ${found})
    endif()
endforeach()
install(TARGETS ${kestra_libraries} LIBRARY DESTINATION ${KESTRA_INSTALL_PROGRAM_DIR})

foreach(program IN LISTS KESTRA_USER_PROGRAMS KESTRA_HELPER_PROGRAMS)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${KESTRA_INSTALL_PROGRAM_DIR})
    endif()
endforeach()

# Launchers: bin/ sits beside lib/, so each finds the program folder from its own place.
foreach(program IN LISTS KESTRA_USER_PROGRAMS)
    if(TARGET ${program})
        set(KESTRA_LAUNCHED_PROGRAM ${program})
        configure_file(${CMAKE_SOURCE_DIR}/cmake/kestra-launcher.sh.in
                       ${CMAKE_BINARY_DIR}/launchers/${program} @ONLY)
        install(PROGRAMS ${CMAKE_BINARY_DIR}/launchers/${program}
                DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# The data folder as the build copies it into the program folder.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${KESTRA_INSTALL_PROGRAM_DIR}
        PATTERN CMakeLists.txt EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/data/Displays.ini
        DESTINATION ${KESTRA_INSTALL_PROGRAM_DIR}/windows)

install(FILES ${CMAKE_SOURCE_DIR}/keyboard_editor/desktop/clavon.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/keyboard_editor/desktop/clavon.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/keyboard_editor/desktop/clavon-kbd.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/keyboard_editor/desktop/org.kestra_panels.clavon.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${KESTRA_INSTALL_DOC_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/keyboard_editor/README.md DESTINATION ${KESTRA_INSTALL_DOC_DIR}
        RENAME keyboard-editor.md)
if(EXISTS ${CMAKE_SOURCE_DIR}/kestra/project-json.md)
    install(FILES ${CMAKE_SOURCE_DIR}/kestra/project-json.md DESTINATION ${KESTRA_INSTALL_DOC_DIR})
endif()

# Kestra Workbench: its desktop entry and icon, the project file type (*.kpr) with its icon, its
# AppStream metadata, and its manual (which the program also carries inside).
install(FILES ${CMAKE_SOURCE_DIR}/workbench/desktop/kestra-workbench.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/workbench/desktop/kestra-workbench.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/workbench/desktop/application-x-kestra-project.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/mimetypes)
install(FILES ${CMAKE_SOURCE_DIR}/workbench/desktop/kestra-project.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/workbench/desktop/org.kestra_panels.workbench.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/workbench/doc/manual.html ${CMAKE_SOURCE_DIR}/workbench/doc/workbench.png
        DESTINATION ${KESTRA_INSTALL_DOC_DIR}/workbench)

# Manual pages, copyright file, changelog and bash completion.
add_subdirectory(${CMAKE_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)
