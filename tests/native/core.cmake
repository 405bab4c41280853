# Unit tests of the byte string, the site table, the log and the poll cycle.
add_executable(test_core
    ${CMAKE_CURRENT_LIST_DIR}/test_cstring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_site_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_activity_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_poll_cycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_site_menu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/temp_dir.h
)
target_link_libraries(test_core PRIVATE tansy_core GTest::gtest_main)
gtest_discover_tests(test_core)
