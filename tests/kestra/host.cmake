# The command-line host's own parts, tested on their own: the display a project is shown on,
# and what a check finds in a project (with the S5 driver).
kestra_add_test(kestra_host_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_display_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/check_contents_test.cpp
    LIBS kestra_host)
target_include_directories(kestra_host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(kestra_host_tests K32PLC1)
