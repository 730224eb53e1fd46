kestra_add_fuzzer(project_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_image_fuzz.cpp
                  LIBS K32PRJ200 project_store_core)
kestra_add_fuzzer(project_element_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_element_fuzz.cpp
                  LIBS K32PRJ200 project_store_core)
