kestra_add_bench(plc_s5_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plc_s5_bench.cpp
    LIBS plc_s5_core)
