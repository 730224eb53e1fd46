kestra_add_fuzzer(plc_s5_type1_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/plc_s5_type1_fuzz.cpp
                  LIBS plc_s5_core)
