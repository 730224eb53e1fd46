# The card file system's sources are compiled into the targets, so that the fuzzer sees their
# coverage.
get_target_property(cardfs_sources kcardfs SOURCES)
list(TRANSFORM cardfs_sources PREPEND ${CMAKE_SOURCE_DIR}/card_service/)
kestra_add_fuzzer(card_mount_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_mount_fuzz.cpp ${cardfs_sources})
kestra_add_fuzzer(card_directory_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_directory_fuzz.cpp ${cardfs_sources})
