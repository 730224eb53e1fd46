kestra_add_test(kestra_project_json_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/json_reader_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/project_json_document_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/project_json_round_trip_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/project_json_sections_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/text_codec_test.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS kestra_project_json K32PRJ200 project_store_core K32FABUTIL1 K32FABUTIL2)
target_compile_definitions(kestra_project_json_tests PRIVATE
    KESTRA_FUZZ_REGRESSIONS="${CMAKE_SOURCE_DIR}/tests/project_store/fuzz_regressions"
    KESTRA_PROJECT_SEEDS="${CMAKE_SOURCE_DIR}/fuzz/seeds/project_image_fuzz"
    KESTRA_EXPORTED_DOCUMENTS="${CMAKE_CURRENT_LIST_DIR}/exported"
    KESTRA_JSON_SEEDS="${CMAKE_SOURCE_DIR}/fuzz/seeds/project_json_fuzz")
