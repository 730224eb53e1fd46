kestra_add_fuzzer(hosted_panel_setup_fuzz
                  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hosted_panel_setup_fuzz.cpp
                  LIBS kestra_workbench_hosting)
kestra_add_fuzzer(project_bitmaps_fuzz
                  SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_bitmaps_fuzz.cpp
                  LIBS kestra_workbench_hosting)
