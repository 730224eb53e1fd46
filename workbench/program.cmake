# kestra-workbench: the program around the project document, its tree and tables, files and
# settings. Its parts are one library, which the tests and the benchmark link too: the
# document and its undo (document/), the views of the project (views/) and the main window
# with its commands (window/).
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

add_library(kestra_workbench_core STATIC
    ${CMAKE_CURRENT_LIST_DIR}/document/autosave.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/field_records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/file_stamp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/image_delta.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/new_field.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/project_document.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document/project_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/driver_texts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/field_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/page_canvas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/page_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/page_painter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/page_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/page_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/views/project_tree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/check_results.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/edit_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/english_plurals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/file_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/file_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/help_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/hosted_actions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/main_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/questions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/user_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window/window_places.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workbench.qrc)
target_link_libraries(kestra_workbench_core PUBLIC kestra_host kestra_workbench_hosting KXC
                      Qt6::Widgets)
# The libraries it loads by name.
add_dependencies(kestra_workbench_core K32PRJ200 K32PLC1)

add_executable(kestra-workbench ${CMAKE_CURRENT_LIST_DIR}/window/main.cpp)
target_compile_definitions(kestra-workbench PRIVATE
    KESTRA_WORKBENCH_VERSION="${PROJECT_VERSION}")
target_link_libraries(kestra-workbench PRIVATE kestra_workbench_core kwindows_qt)
