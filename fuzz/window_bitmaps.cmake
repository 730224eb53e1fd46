kestra_add_fuzzer(packed_dib_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/packed_dib_fuzz.cpp LIBS kwindows)
