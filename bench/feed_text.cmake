# Throughput of feed normalisation plus the item scan. Meant for a build
# without sanitizers (TANSY_SANITIZE=OFF).
add_executable(bench_feed_text ${CMAKE_CURRENT_LIST_DIR}/bench_feed_text.cpp)
target_link_libraries(bench_feed_text PRIVATE tansy_core)
target_compile_options(bench_feed_text PRIVATE -O2)
