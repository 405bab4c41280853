# Fuzzes feed normalisation and the item scan. The sources are compiled into
# the target itself so that libFuzzer sees their coverage.
add_executable(fuzz_feed_text
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_feed_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../framework/cstring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../feed/feed_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../feed/item_scan.cpp
)
target_compile_options(fuzz_feed_text PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
target_link_options(fuzz_feed_text PRIVATE -fsanitize=fuzzer,address,undefined)
