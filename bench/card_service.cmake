kestra_add_bench(card_service_bench
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/card_service_bench.cpp
        ${CMAKE_SOURCE_DIR}/card_service/interface_page_device.cpp
    LIBS kcardfs K32SSFDCLib10)
