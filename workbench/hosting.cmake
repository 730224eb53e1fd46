# The suite's dialogs hosted where the project editor calls them, with the editor's own
# dialogs and editors around them (hosted/), and the build work: check, panel image, PLC list,
# card (jobs/); a library the workbench program links.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)

add_library(kestra_workbench_hosting STATIC
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_project.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_driver_dialogs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/add_field_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/field_kind.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/field_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_field.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_passwords.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_project_properties.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_recipes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_languages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_network.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_panel_setup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_keyboard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/value_ranges.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/value_range_editor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/project_bitmaps.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/field_editors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/index_editor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/character_picker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/reference_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/tag_edits.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_tags.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jobs/build_runner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jobs/build_project.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jobs/build_card.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jobs/file_names.cpp)
target_link_libraries(kestra_workbench_hosting PUBLIC
    kestra_host kpanelsetup_client kwindows_qt K32FABUTIL1 K32FABUTIL2 Qt6::Widgets
    Qt6::PrintSupport)
# The libraries and programs it loads or starts by name.
add_dependencies(kestra_workbench_hosting K32PRJ200 K32PLC1 Panora Clavon)

# A main window of its own around the hosted dialogs and build work, to try and picture them;
# a gallery, built with the tests (not installed).
if(KESTRA_TESTS)
    add_executable(hosted-gallery ${CMAKE_CURRENT_LIST_DIR}/hosted/hosted_gallery_main.cpp)
    target_link_libraries(hosted-gallery PRIVATE kestra_workbench_hosting)
endif()
