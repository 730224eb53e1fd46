kestra_add_fuzzer(card_mount_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_mount_fuzz.cpp LIBS kcardfs)
kestra_add_fuzzer(card_directory_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_directory_fuzz.cpp LIBS kcardfs)
kestra_add_fuzzer(card_names_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_names_fuzz.cpp LIBS kcardfs)
