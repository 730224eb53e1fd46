kestra_add_fuzzer(plc_info_registry_fuzz
                  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plc_info_registry_fuzz.cpp
                  LIBS KXC)
