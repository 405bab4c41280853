# Unit tests of the jis1997 library and of DecodeFeedFile. The conversion
# tests compare with glibc iconv; the feed tests read the feed corpus.
add_executable(test_jis1997
    ${CMAKE_CURRENT_LIST_DIR}/jis_iconv_reference.h
    ${CMAKE_CURRENT_LIST_DIR}/test_jis1997_detect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_jis1997_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_jis1997_paths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_decode_feed.cpp
)
if(TARGET tansy_core)
    target_link_libraries(test_jis1997 PRIVATE tansy_core jis1997_api feed_corpus GTest::gtest_main)
else()
    target_link_libraries(test_jis1997 PRIVATE jis1997_api feed_corpus GTest::gtest_main)
endif()
gtest_discover_tests(test_jis1997)
