# The built kestra program, run as a user runs it.
find_package(nlohmann_json REQUIRED)
kestra_add_test(kestra_program_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/program_faults_test.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/project_builder.cpp
    LIBS K32PRJ200 K32FABUTIL1 K32FABUTIL2 kcardfs nlohmann_json::nlohmann_json)
target_include_directories(kestra_program_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(kestra_program_tests kestra s5-editor cardload smlogical K32PLC1)

# Makes the sample project whose JSON form is data/samples/sample-project.json.
add_executable(kestra-make-sample ${CMAKE_CURRENT_LIST_DIR}/make_sample_project.cpp)
target_link_libraries(kestra-make-sample PRIVATE K32PRJ200 K32FABUTIL1 K32FABUTIL2 kplatform)
