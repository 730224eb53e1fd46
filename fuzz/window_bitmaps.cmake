# The bitmap reader is compiled into the target itself, so that it runs instrumented.
kestra_add_fuzzer(packed_dib_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/packed_dib_fuzz.cpp
                  ${CMAKE_SOURCE_DIR}/platform/packed_dib.cpp
                  ${CMAKE_SOURCE_DIR}/platform/image_cursor.cpp)
