kestra_add_bench(card_access_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_access_bench.cpp
    LIBS K32SSFDCLib10)
