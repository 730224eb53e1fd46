kestra_add_fuzzer(sim_card_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_card_fuzz.cpp LIBS kdevices)
kestra_add_fuzzer(card_types_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_types_fuzz.cpp
                  LIBS K32SSFDCLib10)
