find_package(Qt6 REQUIRED COMPONENTS Gui)
kestra_add_bench(kxc_viewers_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/kxc_viewers_bench.cpp
    LIBS KXC Qt6::Gui)
