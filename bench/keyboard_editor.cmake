kestra_add_bench(keyboard_editor_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyboard_editor_bench.cpp
    LIBS kclavon)
