# Throughput of the jis1997 conversions and of DecodeFeedFile against glibc
# iconv, ICU and memcpy. Build in a release folder without sanitizers.
find_package(ICU COMPONENTS uc)
if(ICU_FOUND)
    add_executable(bench_jis1997 ${CMAKE_CURRENT_LIST_DIR}/bench_jis1997.cpp)
    target_compile_options(bench_jis1997 PRIVATE -O2)
    target_compile_definitions(bench_jis1997 PRIVATE TANSY_FEEDS_DIR="${TANSY_FEEDS_DIR}"
        $<$<BOOL:${TANSY_FEEDS_REQUIRED}>:TANSY_FEEDS_REQUIRED>)
    if(TARGET tansy_core)
        target_link_libraries(bench_jis1997 PRIVATE tansy_core jis1997_api ICU::uc)
    else()
        target_link_libraries(bench_jis1997 PRIVATE jis1997_api ICU::uc)
    endif()
else()
    message(STATUS "ICU not found: bench_jis1997 not built")
endif()
