# The workbench's hosted work against the libraries' own (tell a change, check the panel image,
# print the PLC list).
kestra_add_bench(build_jobs_bench
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/build_jobs_bench.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS kestra_workbench_hosting K32PRJ200 project_store_core)
target_include_directories(build_jobs_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(build_jobs_bench K32PLC1)
