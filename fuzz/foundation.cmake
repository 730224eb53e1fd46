kestra_add_fuzzer(profile_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_fuzz.cpp)
kestra_add_fuzzer(text_services_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_services_fuzz.cpp
                  LIBS K32FABUTIL1)
kestra_add_fuzzer(image_descriptor_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_descriptor_fuzz.cpp)
kestra_add_fuzzer(matrix_paste_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/matrix_paste_fuzz.cpp
                  LIBS matrix_text)
