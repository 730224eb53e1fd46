# kestra-workbench: the program around the project document, its tree and tables, files and
# settings. Its parts are one library, which the tests and the benchmark link too.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

add_library(kestra_workbench_core STATIC
    ${CMAKE_CURRENT_LIST_DIR}/autosave.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver_texts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/edit_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/field_records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/field_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_stamp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted_actions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_delta.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/project_document.cpp
    ${CMAKE_CURRENT_LIST_DIR}/project_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/project_tree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/questions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workbench.qrc)
target_link_libraries(kestra_workbench_core PUBLIC kestra_host kestra_workbench_hosting KXC
                      Qt6::Widgets)
# The libraries it loads by name.
add_dependencies(kestra_workbench_core K32PRJ200 K32PLC1)

add_executable(kestra-workbench ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_compile_definitions(kestra-workbench PRIVATE
    KESTRA_WORKBENCH_VERSION="${PROJECT_VERSION}")
target_link_libraries(kestra-workbench PRIVATE kestra_workbench_core kwindows_qt)
