# The workbench program: its document, tables, windows and files, offscreen.
find_package(Qt6 REQUIRED COMPONENTS Test)
kestra_add_test(workbench_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/autosave_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/document_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fields_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/page_layout_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/page_view_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/read_only_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/window_keys_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/files_and_windows_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/file_watch_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/small_texts_test.cpp
    LIBS kestra_workbench_core Qt6::Test)
target_compile_definitions(workbench_tests PRIVATE
    KESTRA_SAMPLE_JSON="${CMAKE_SOURCE_DIR}/data/samples/sample-project.json"
    KESTRA_FUZZ_SEEDS="${CMAKE_SOURCE_DIR}/fuzz/seeds")
set_tests_properties(workbench_tests PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
add_dependencies(workbench_tests kestra-workbench K32PRJ200 K32PLC1)
