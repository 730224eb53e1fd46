kestra_add_fuzzer(exchange_block_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/exchange_block_fuzz.cpp
                  LIBS kpanelsetup_data)
kestra_add_fuzzer(panel_model_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_model_fuzz.cpp
                  LIBS kpanelsetup_data)
kestra_add_fuzzer(setup_frames_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_frames_fuzz.cpp
                  LIBS kpanelsetup_channel kpanelsetup_data)
