# libFuzzer target for the jis1997 library (TANSY_FUZZ=ON, clang). The
# library's sources are compiled into the target so libFuzzer sees their
# coverage.
add_executable(fuzz_jis1997
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_jis1997.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../jis1997/jis_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../jis1997/jis_convert_word.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../jis1997/jis_convert_sse2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../jis1997/jis_detect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../jis1997/jis_tables.cpp
)
target_include_directories(fuzz_jis1997 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../jis1997)
target_compile_options(fuzz_jis1997 PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
target_link_options(fuzz_jis1997 PRIVATE -fsanitize=fuzzer,address,undefined)
