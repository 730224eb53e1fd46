kestra_add_fuzzer(kbd_document_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/kbd_document_fuzz.cpp LIBS kclavon)
kestra_add_fuzzer(ssfdc_file_table_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssfdc_file_table_fuzz.cpp LIBS kclavon)
