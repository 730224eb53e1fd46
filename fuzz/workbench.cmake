kestra_add_fuzzer(field_records_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/field_records_fuzz.cpp
                  LIBS kestra_workbench_core)
