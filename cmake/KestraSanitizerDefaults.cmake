# The sanitizer build's defaults for every program in the tree: the leak checker leaves out
# the system libraries' leaks listed in system_leaks.supp (see sanitizer_defaults.cpp.in),
# whether the program runs from a test, a script or a shell, without any environment variable.
# Included after every folder has added its targets.

file(READ ${CMAKE_CURRENT_LIST_DIR}/system_leaks.supp KESTRA_SYSTEM_LEAKS)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/system_leaks.supp)
configure_file(${CMAKE_CURRENT_LIST_DIR}/sanitizer_defaults.cpp.in
               ${CMAKE_BINARY_DIR}/sanitizer_defaults.cpp @ONLY)
add_library(kestra_sanitizer_defaults OBJECT ${CMAKE_BINARY_DIR}/sanitizer_defaults.cpp)

# Every executable target of a folder and of the folders below it.
function(kestra_collect_programs dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    set(found "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        kestra_collect_programs(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

kestra_collect_programs(${CMAKE_SOURCE_DIR} kestra_programs)
foreach(program IN LISTS kestra_programs)
    target_sources(${program} PRIVATE $<TARGET_OBJECTS:kestra_sanitizer_defaults>)
endforeach()
