# kestra_add_module(<name> DEF <file.def> SOURCES <src>... [LIBS <lib>...])
#
# Builds one deliverable shared library named exactly <name>.so in the program folder. The
# export definition file is the single list of what the library exports: a linker version
# script made from it hides every other symbol, and the "Name @ordinal" lines become the
# ordinal table that the module layer binds through (GetProcAddress by ordinal).
#
# A class library exports C++ names with lines of the form
#     extern "C++" <pattern>
# where <pattern> is a linker version-script pattern over demangled names, for example
# CSSFDCTypes::* (every member) or "typeinfo for CSSFDCTypes" (one exact name, quoted).
function(kestra_add_module name)
    cmake_parse_arguments(ARG "" "DEF" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_DEF)
        message(FATAL_ERROR "kestra_add_module(${name}) needs a DEF file")
    endif()
    set(def ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DEF})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(STRINGS ${def} lines)

    set(globals "")
    set(cxx_globals "")
    set(table "")
    set(in_exports OFF)
    foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        if(line STREQUAL "" OR line MATCHES "^;")
            continue()
        endif()
        if(line MATCHES "^EXPORTS")
            set(in_exports ON)
            continue()
        endif()
        if(NOT in_exports)
            continue()
        endif()
        if(line MATCHES "^extern[ \t]+\"C\\+\\+\"[ \t]+(.+)$")
            string(APPEND cxx_globals "            ${CMAKE_MATCH_1};\n")
        elseif(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)[ \t]*@[ \t]*([0-9]+)")
            string(APPEND globals "        ${CMAKE_MATCH_1};\n")
            string(APPEND table "    {${CMAKE_MATCH_2}, \"${CMAKE_MATCH_1}\"},\n")
        elseif(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)$")
            string(APPEND globals "        ${CMAKE_MATCH_1};\n")
        else()
            message(FATAL_ERROR "${def}: cannot read export line '${line}'")
        endif()
    endforeach()

    if(NOT cxx_globals STREQUAL "")
        string(APPEND globals "        extern \"C++\" {\n${cxx_globals}        };\n")
    endif()

    set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    file(WRITE ${map}.in "{\n    global:\n${globals}    local:\n        *;\n};\n")
    configure_file(${map}.in ${map} COPYONLY)

    set(gen ${CMAKE_CURRENT_BINARY_DIR}/${name}_ordinals.cpp)
    if(table STREQUAL "")
        set(body "// ${name} binds by name only.\n")
    else()
        set(body "namespace {\nconstexpr kestra::platform::OrdinalExport kOrdinals[] = {\n${table}};\nconst kestra::platform::ResourceRegistration kRegistration(\n    &kOrdinals, kestra::platform::ResourceKind::Ordinals, kOrdinals, std::size(kOrdinals));\n}  // namespace\n")
    endif()
    file(WRITE ${gen}.in "// Made from ${ARG_DEF} by the build; do not edit.\n#include <iterator>\n\n#include \"platform/module.h\"\n\n${body}")
    configure_file(${gen}.in ${gen} COPYONLY)

    add_library(${name} SHARED ${ARG_SOURCES} ${gen})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                          LINK_DEPENDS ${map})
    target_link_options(${name} PRIVATE "-Wl,--version-script=${map}")
    if(NOT KESTRA_SANITIZE)
        target_link_options(${name} PRIVATE "-Wl,--no-undefined")
    endif()
    target_link_libraries(${name} PUBLIC kplatform ${ARG_LIBS})
endfunction()
