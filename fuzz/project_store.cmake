# The store's sources are built once more with coverage instrumentation, so that the fuzz
# targets are guided by the store's own branches.
file(GLOB store_sources ${CMAKE_SOURCE_DIR}/project_store/*.cpp)
add_library(project_store_fuzzed STATIC ${store_sources})
target_compile_options(project_store_fuzzed PRIVATE -fsanitize=fuzzer-no-link)
target_link_libraries(project_store_fuzzed PUBLIC kplatform K32FABUTIL1 K32FABUTIL2)

kestra_add_fuzzer(project_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_image_fuzz.cpp
                  LIBS project_store_fuzzed)
kestra_add_fuzzer(project_element_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/project_element_fuzz.cpp
                  LIBS project_store_fuzzed)
