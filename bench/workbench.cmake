kestra_add_bench(workbench_bench
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/workbench_bench.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS kestra_workbench_core K32PRJ200 project_store_core K32FABUTIL1 K32FABUTIL2)
target_include_directories(workbench_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(workbench_bench kestra-workbench)
# The store's inner header has functions named as Qt's keywords.
target_compile_definitions(workbench_bench PRIVATE QT_NO_KEYWORDS)
