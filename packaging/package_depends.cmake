# The package's dependencies on system libraries, found by dpkg-shlibdeps from the staged
# binaries. cpack runs this after it has installed the package's files into its staging folder
# and before it packs them (CPACK_PRE_BUILD_SCRIPTS), with the variables of CPackConfig.cmake.
#
# cpack can run dpkg-shlibdeps itself, but then it also gives the package maintainer scripts
# that call ldconfig whenever a library lies anywhere below /usr/lib. Ours are private to the
# program folder, which is not on the loader's path, so ldconfig has nothing to do for them and
# the package needs no maintainer scripts at all.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()

set(staged ${CPACK_TEMPORARY_DIRECTORY})
set(program_folder ${staged}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_KESTRA_PROGRAM_DIR})

file(GLOB_RECURSE files LIST_DIRECTORIES false ${staged}/*)
set(binaries "")
foreach(file IN LISTS files)
    if(NOT IS_SYMLINK ${file})
        file(READ ${file} magic LIMIT 4 HEX)
        if(magic STREQUAL "7f454c46")
            list(APPEND binaries ${file})
        endif()
    endif()
endforeach()
if(NOT binaries)
    message(FATAL_ERROR "no binaries staged in ${staged}")
endif()

# dpkg-shlibdeps wants a source package's control file in its working folder; it is made
# beside the staging folder, not in it, so that it stays out of the package.
set(work ${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps)
file(MAKE_DIRECTORY ${work}/debian)
file(WRITE ${work}/debian/control "")
execute_process(COMMAND dpkg-shlibdeps -l${program_folder} -O ${binaries}
                WORKING_DIRECTORY ${work}
                OUTPUT_VARIABLE substitution ERROR_VARIABLE errors RESULT_VARIABLE rc)
file(REMOVE_RECURSE ${work})
if(NOT rc EQUAL 0 OR NOT substitution MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed (${rc}): ${errors}")
endif()

if(CPACK_DEBIAN_PACKAGE_DEPENDS)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ")
endif()
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
