# Feed normalisation, file-name sanitising, the item scan and the shortcut list
# of a feed file with its digest.
if(NOT DEFINED TANSY_FEEDS_DIR)
    set(TANSY_FEEDS_DIR "${CMAKE_SOURCE_DIR}/../shared/feeds" CACHE PATH
        "Folder of real feed files used by the tests (TANSY_FEEDS overrides it at run time)")
endif()

add_executable(feed_text_tests
    ${CMAKE_CURRENT_LIST_DIR}/feed_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/item_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/item_scan_feeds_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atom_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_feed_paths_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sjis_find_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/feed_items_test.cpp
)
target_link_libraries(feed_text_tests PRIVATE tansy_core GTest::gtest_main)
target_compile_definitions(feed_text_tests PRIVATE TANSY_FEEDS_DIR="${TANSY_FEEDS_DIR}")
gtest_discover_tests(feed_text_tests)
