# The plan that mirrors a feed into a site folder, and reading shortcut files.
add_executable(favorites_tests ${CMAKE_CURRENT_LIST_DIR}/test_favorites_mirror.cpp)
target_link_libraries(favorites_tests PRIVATE tansy_core GTest::gtest_main)
gtest_discover_tests(favorites_tests)
