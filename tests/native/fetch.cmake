# Feed time and URL rules of the download worker.
add_executable(fetch_test ${CMAKE_SOURCE_DIR}/tests/native/fetch_test.cpp)
target_link_libraries(fetch_test PRIVATE tansy_core GTest::gtest_main)
gtest_discover_tests(fetch_test)
