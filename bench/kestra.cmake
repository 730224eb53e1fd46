kestra_add_bench(project_json_bench
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/project_json_bench.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS kestra_project_json K32PRJ200 project_store_core K32FABUTIL1 K32FABUTIL2)
target_include_directories(project_json_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# The floors parse the document with the parser import uses.
find_package(simdjson REQUIRED)
target_link_libraries(project_json_bench PRIVATE simdjson::simdjson)
