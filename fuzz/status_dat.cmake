# Fuzzes loading status.dat and its Save/Load round trip. The site table and
# file sources are compiled into the target so that libFuzzer sees their
# coverage.
add_executable(fuzz_status_dat
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_status_dat.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../config/site_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../framework/cstring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../framework/file_common.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../framework/file_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../feed/feed_text.cpp
)
target_compile_options(fuzz_status_dat PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
target_link_options(fuzz_status_dat PRIVATE -fsanitize=fuzzer,address,undefined)
