# kestra, the command-line host: a program in the program folder. Its subcommands live in a
# library of their own, linked into the program.
find_package(CLI11 REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Gui)

add_library(kestra_host STATIC
    ${CMAKE_CURRENT_LIST_DIR}/host.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kept_panel_setup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_display.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_contents.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_compare.cpp
    ${CMAKE_CURRENT_LIST_DIR}/print.cpp
    ${CMAKE_CURRENT_LIST_DIR}/card.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usage.cpp)
target_link_libraries(kestra_host PUBLIC
    CLI11::CLI11 kestra_project_json plc_list_print kpanelsetup_data KXC K32SSFDCApp kwindows_qt kdevices K32FABUTIL1
    K32FABUTIL2 kplatform Qt6::Gui)

add_executable(kestra ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kestra PRIVATE kestra_host)
target_compile_definitions(kestra PRIVATE KESTRA_VERSION="${PROJECT_VERSION}")
# The libraries it loads by name.
add_dependencies(kestra K32PRJ200 K32PLC1)
