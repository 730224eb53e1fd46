find_package(Qt6 REQUIRED COMPONENTS Gui)
kestra_add_fuzzer(kxc_picture_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/kxc_picture_fuzz.cpp
    LIBS KXC Qt6::Gui)
set_tests_properties(kxc_picture_fuzz PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
