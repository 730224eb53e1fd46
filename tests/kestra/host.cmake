# The command-line host's own parts, tested on their own: the display a project is shown on.
kestra_add_test(kestra_host_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_display_test.cpp
    LIBS kestra_host)
