# The driver's sources are compiled into the target itself so that libFuzzer sees their
# coverage.
get_target_property(plc_s5_sources plc_s5_core SOURCES)
get_target_property(plc_s5_dir plc_s5_core SOURCE_DIR)
list(TRANSFORM plc_s5_sources PREPEND ${plc_s5_dir}/)
kestra_add_fuzzer(plc_s5_type1_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plc_s5_type1_fuzz.cpp ${plc_s5_sources}
    LIBS K32FABUTIL1 K32FABUTIL2)
