# The JSON form of a project: export of a project image to a versioned JSON document and
# import back to the same image. Documents are read from the tape of simdjson's parser, and one
# that is refused again with its on-demand parser as the parse goes; nlohmann-json's event
# parser finds the first fault of a text that is refused.
find_package(nlohmann_json REQUIRED)
find_package(simdjson REQUIRED)
add_library(kestra_project_json STATIC
    ${CMAKE_CURRENT_LIST_DIR}/json_codec.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_extension_sections.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_option_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_project_sections.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_syntax.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_tape_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/project_json.cpp)
target_include_directories(kestra_project_json PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kestra_project_json PUBLIC nlohmann_json::nlohmann_json kplatform
                      PRIVATE K32FABUTIL1 simdjson::simdjson)
# The library's functions call each other within it: without this, position-independent code
# keeps every such call a call, in case the function were replaced from outside.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(kestra_project_json PRIVATE -fno-semantic-interposition)
endif()
