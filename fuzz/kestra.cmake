kestra_add_fuzzer(project_json_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_json_fuzz.cpp
                  LIBS kestra_project_json K32PRJ200 project_store_core)
