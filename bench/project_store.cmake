kestra_add_bench(project_store_bench
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/project_store_bench.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS K32PRJ200 project_store_core K32FABUTIL1 K32FABUTIL2)
target_include_directories(project_store_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
