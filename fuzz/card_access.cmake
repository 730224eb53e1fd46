# The sources under test are compiled into the fuzz targets too, so that their coverage
# guides the fuzzer.
set(card_root ${CMAKE_CURRENT_LIST_DIR}/..)
kestra_add_fuzzer(sim_card_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_card_fuzz.cpp
            ${card_root}/platform/sim_card.cpp ${card_root}/platform/sim_reader.cpp)
kestra_add_fuzzer(card_types_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_types_fuzz.cpp
            ${card_root}/card_access/ssfdc_types.cpp ${card_root}/card_access/ssfdc_status.cpp)
