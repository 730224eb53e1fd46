# cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<scratch folder> -DSANITIZED=ON|OFF
#       [-DPACKAGE_OUT=<folder>] -P check_install.cmake
#
# Installs the build tree and makes its Debian package, both into WORK_DIR, and checks them:
# what lands where, what stays out, that an installed program starts through its launcher, the
# manual pages and the bash completion against the programs' usage, the package's contents and
# dependencies, that lintian and the AppStream validator find nothing to report on it, and what
# the binaries were built with. SANITIZED says what the tree was configured with: ON, every
# installed program and library must carry the sanitizer runtime (so the check that finds it is
# seen to work on every file); OFF, none may.
# With PACKAGE_OUT, the package that passed is copied there.
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED SANITIZED)
    message(FATAL_ERROR "SANITIZED=ON|OFF: what the build tree was configured with")
endif()

# expect(<if() condition> MESSAGE <text>): stop with the text unless the condition holds.
function(expect)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "MESSAGE" "")
    if(NOT (${ARG_UNPARSED_ARGUMENTS}))
        message(FATAL_ERROR "${ARG_MESSAGE}")
    endif()
endfunction()

function(run out_var rc_var)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
    set(${out_var} "${out}${err}" PARENT_SCOPE)
    set(${rc_var} ${rc} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(out rc ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
expect(rc EQUAL 0 MESSAGE "cmake --install failed: ${out}")

# What a user needs, laid out around the program folder.
set(program_folder ${prefix}/lib/kestra)
foreach(file
        bin/kestra bin/cardload bin/Clavon bin/Panora
        lib/kestra/kestra lib/kestra/cardload lib/kestra/HHlpStub lib/kestra/Panora
        lib/kestra/K32PRJ200.so lib/kestra/K32PLC1.so lib/kestra/K32FABUTIL1.so
        lib/kestra/K32FABUTIL2.so lib/kestra/K32SSFDCApp.so lib/kestra/K32SSFDCLib10.so
        lib/kestra/K32CodeSel.so lib/kestra/KXC.so lib/kestra/K32KPANEL.so
        lib/kestra/kplatform.so lib/kestra/kwindows.so lib/kestra/kwindows_qt.so
        lib/kestra/kdevices.so
        lib/kestra/cardtype.ini lib/kestra/Displays.ini lib/kestra/windows/Displays.ini
        lib/kestra/KeyCodes.txt lib/kestra/PanelSetupHelp.html
        lib/kestra/samples/sample-project.json
        share/applications/clavon.desktop share/icons/hicolor/scalable/apps/clavon.svg
        share/mime/packages/clavon-kbd.xml share/doc/kestra-panel-tools/README.md
        bin/kestra-workbench lib/kestra/kestra-workbench
        share/applications/kestra-workbench.desktop
        share/icons/hicolor/scalable/apps/kestra-workbench.svg
        share/icons/hicolor/scalable/mimetypes/application-x-kestra-project.svg
        share/mime/packages/kestra-project.xml
        share/doc/kestra-panel-tools/workbench/manual.html
        share/doc/kestra-panel-tools/copyright share/doc/kestra-panel-tools/changelog.gz
        share/metainfo/org.kestra_panels.workbench.metainfo.xml
        share/metainfo/org.kestra_panels.clavon.metainfo.xml
        share/bash-completion/completions/kestra)
    expect(EXISTS ${prefix}/${file} MESSAGE "not installed: ${file}")
endforeach()
file(GLOB panels ${program_folder}/Panels/*.dat)
expect(panels MESSAGE "no panel models installed")
# A manual page for every program in bin/.
file(GLOB launchers RELATIVE ${prefix}/bin ${prefix}/bin/*)
foreach(program IN LISTS launchers)
    expect(EXISTS ${prefix}/share/man/man1/${program}.1.gz
           MESSAGE "no manual page for bin/${program}")
endforeach()

# Nothing of the tests, fuzzing, benchmarks or galleries.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(file IN LISTS installed)
    expect(NOT file MATCHES "(_tests|_fuzz|_bench|gallery|TestModule|s5-editor|kestra-make-sample|\\.a)$"
           MESSAGE "installed although no user needs it: ${file}")
endforeach()

# An installed program starts through its launcher, finds its libraries in the program folder,
# and a user gets a Windows folder of their own with the shipped files in it.
set(home ${WORK_DIR}/home)
file(MAKE_DIRECTORY ${home})
set(env ${CMAKE_COMMAND} -E env --unset=KESTRA_WINDIR --unset=XDG_DATA_HOME HOME=${home}
        KESTRA_REGISTRY=${home}/registry.reg)
run(out rc ${env} ${prefix}/bin/kestra --help)
expect(rc EQUAL 0 MESSAGE "installed kestra --help failed (${rc}): ${out}")
expect(out MATCHES "panel-image" MESSAGE "kestra --help does not list its subcommands: ${out}")
expect(EXISTS ${home}/.local/share/kestra/windows/Displays.ini MESSAGE
       "the launcher made no Windows folder for the user")
run(out rc ${env} QT_QPA_PLATFORM=offscreen ${prefix}/bin/kestra-workbench --version)
expect(rc EQUAL 0 AND out MATCHES "Kestra Workbench"
       MESSAGE "installed kestra-workbench --version failed (${rc}): ${out}")
run(out rc ${env} ${prefix}/bin/kestra info ${program_folder}/samples/no-such-project.kpr)
expect(rc EQUAL 3 MESSAGE "a missing project: exit ${rc}, not 3: ${out}")

# The written manual pages and the bash completion offer what the programs' usage lists.
set(here ${CMAKE_CURRENT_LIST_DIR})
run(out rc ${env} bash ${here}/manual_pages_test.sh ${prefix}/share/man/man1 ${prefix}/bin/kestra
    ${prefix}/bin/cardload)
expect(rc EQUAL 0 MESSAGE "the manual pages do not match the usage:\n${out}")
run(out rc ${env} bash ${here}/completion_test.sh
    ${prefix}/share/bash-completion/completions/kestra ${prefix}/bin/kestra ${WORK_DIR}/completion)
expect(rc EQUAL 0 MESSAGE "the bash completion of kestra does not match its usage:\n${out}")

# The Debian package: the same contents under /usr, with its real dependencies.
find_program(DPKG_DEB dpkg-deb REQUIRED)
get_filename_component(cmake_dir ${CMAKE_COMMAND} DIRECTORY)
run(out rc ${cmake_dir}/cpack -G DEB -B ${WORK_DIR}/package --config
    ${BUILD_DIR}/CPackConfig.cmake)
expect(rc EQUAL 0 MESSAGE "cpack failed: ${out}")
file(GLOB debs ${WORK_DIR}/package/kestra-panel-tools_*.deb)
list(LENGTH debs count)
expect(count EQUAL 1 MESSAGE "cpack made no package: ${out}")
run(fields rc ${DPKG_DEB} -f ${debs})
expect(fields MATCHES "Package: kestra-panel-tools" MESSAGE "package name: ${fields}")
foreach(dependency libqt6widgets6 libc6 libstdc\\+\\+6 qt6-qpa-plugins)
    expect(fields MATCHES "Depends:[^\n]*${dependency}"
           MESSAGE "no dependency on ${dependency}: ${fields}")
endforeach()
run(contents rc ${DPKG_DEB} -c ${debs})
foreach(file ./usr/bin/kestra ./usr/lib/kestra/kestra ./usr/lib/kestra/K32PRJ200.so
        ./usr/lib/kestra/windows/Displays.ini ./usr/share/applications/clavon.desktop
        ./usr/bin/kestra-workbench ./usr/share/mime/packages/kestra-project.xml
        ./usr/share/man/man1/kestra.1.gz ./usr/share/doc/kestra-panel-tools/copyright)
    string(REPLACE "+" "\\+" pattern "${file}")
    expect(contents MATCHES " ${pattern}\n" MESSAGE "not in the package: ${file}")
endforeach()
# No maintainer scripts: the libraries are the program folder's own, so there is nothing for
# ldconfig to do.
execute_process(COMMAND ${DPKG_DEB} --ctrl-tarfile ${debs} COMMAND tar -t
                OUTPUT_VARIABLE control_files RESULT_VARIABLE rc)
expect(rc EQUAL 0 AND NOT control_files MATCHES "(pre|post)(inst|rm)"
       MESSAGE "the package has maintainer scripts: ${control_files}")

# Debian's package checker reports nothing, neither error nor warning. Its report goes to
# standard output; standard error may say more, such as that it runs as root.
find_program(LINTIAN lintian REQUIRED)
execute_process(COMMAND ${LINTIAN} --fail-on error,warning --no-tag-display-limit ${debs}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(LENGTH "${out}" reported)
expect(rc EQUAL 0 AND reported EQUAL 0 MESSAGE "lintian reports (${rc}):\n${out}${err}")

# The binaries: with the sanitizers or without them, as the tree was configured, both as
# installed and as packed (stripped, so only their dynamic symbols are left to tell).
find_program(NM nm REQUIRED)

# check_binaries(<folder>): every ELF file below the folder.
function(check_binaries folder)
    file(GLOB_RECURSE files LIST_DIRECTORIES false ${folder}/*)
    set(checked 0)
    foreach(file IN LISTS files)
        if(IS_SYMLINK ${file})
            continue()
        endif()
        file(READ ${file} magic LIMIT 4 HEX)
        if(NOT magic STREQUAL "7f454c46")
            continue()
        endif()
        math(EXPR checked "${checked} + 1")
        run(symbols rc ${NM} -D ${file})
        expect(rc EQUAL 0 MESSAGE "nm cannot read ${file}: ${symbols}")
        set(asan NO)
        set(ubsan NO)
        if(symbols MATCHES " __asan_init\n")
            set(asan YES)
        endif()
        if(symbols MATCHES " __ubsan_")
            set(ubsan YES)
        endif()
        if(SANITIZED)
            expect(asan AND ubsan MESSAGE
                   "${file}: the sanitizer runtime is not found in a sanitizer build (AddressSanitizer ${asan}, UndefinedBehaviorSanitizer ${ubsan})")
            if(NOT file MATCHES "\\.so$")
                expect(symbols MATCHES " __lsan_default_suppressions\n"
                       MESSAGE "${file}: a program without the leak checker's defaults")
            endif()
        else()
            expect(NOT asan AND NOT ubsan MESSAGE
                   "${file} carries a sanitizer runtime (AddressSanitizer ${asan}, UndefinedBehaviorSanitizer ${ubsan}): package a tree built with -DKESTRA_SANITIZE=OFF")
        endif()
    endforeach()
    expect(checked GREATER 10 MESSAGE "only ${checked} binaries found in ${folder}")
endfunction()

check_binaries(${prefix})
set(unpacked ${WORK_DIR}/unpacked)
run(out rc ${DPKG_DEB} -x ${debs} ${unpacked})
expect(rc EQUAL 0 MESSAGE "dpkg-deb cannot unpack ${debs}: ${out}")
check_binaries(${unpacked})

# The AppStream validator reports nothing on the metadata and the desktop entries they name, not
# even a pedantic hint.
find_program(APPSTREAMCLI appstreamcli REQUIRED)
file(GLOB metainfo ${unpacked}/usr/share/metainfo/*.metainfo.xml)
list(LENGTH metainfo count)
expect(count EQUAL 2 MESSAGE "AppStream metadata for the workbench and Clavon expected: ${metainfo}")
run(out rc ${APPSTREAMCLI} validate-tree --no-net --pedantic ${unpacked})
expect(rc EQUAL 0 AND out MATCHES "^[^\n]*Validation was successful\\.\n$"
       MESSAGE "appstreamcli reports (${rc}):\n${out}")

if(PACKAGE_OUT)
    file(COPY ${debs} DESTINATION ${PACKAGE_OUT})
endif()
