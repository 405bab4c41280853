# Feed normalisation, file-name sanitising, the item scan and the shortcut list
# of a feed file with its digest.
add_executable(feed_text_tests
    ${CMAKE_CURRENT_LIST_DIR}/feed_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/item_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/item_scan_feeds_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atom_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_feed_paths_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sjis_find_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/feed_items_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/own_feeds_test.cpp
)
target_link_libraries(feed_text_tests PRIVATE tansy_core feed_corpus GTest::gtest_main)
target_compile_definitions(feed_text_tests PRIVATE
    TANSY_OWN_FEEDS_DIR="${CMAKE_SOURCE_DIR}/tests/feeds")
gtest_discover_tests(feed_text_tests)

# The own feeds and their .expected files are written by a generator; this
# fails when they no longer match it.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME OwnFeeds.MatchTheirGenerator
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/feeds/make_feeds.py --check)
endif()
