# The workbench's hosted dialogs and build work, offscreen on the Qt host, on the sample
# project, with a real Panora and the simulated card.
find_package(Qt6 REQUIRED COMPONENTS Test)
kestra_add_test(workbench_hosting_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/hosted_dialogs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/hosted_panel_setup_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/build_jobs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/hosted_actions_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/editors_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/value_ranges_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tag_edits_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/authoring_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/hosted_keyboard_test.cpp
    LIBS kestra_workbench_core kestra_workbench_hosting kpanora Qt6::Test)
target_compile_definitions(workbench_hosting_tests PRIVATE
    KESTRA_SAMPLE_JSON="${CMAKE_SOURCE_DIR}/data/samples/sample-project.json")
add_dependencies(workbench_hosting_tests K32PRJ200 K32PLC1 Panora HHlpStub kestra)
set_tests_properties(workbench_hosting_tests PROPERTIES ENVIRONMENT
    QT_QPA_PLATFORM=offscreen)
