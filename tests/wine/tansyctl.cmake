# The test driver that reaches a running Tansy through its window messages.
add_executable(tansyctl ${CMAKE_CURRENT_LIST_DIR}/tansyctl.cpp)
target_compile_options(tansyctl PRIVATE -municode)
target_link_options(tansyctl PRIVATE -municode ${TANSY_STATIC_RUNTIME})
target_link_libraries(tansyctl PRIVATE psapi shell32)
set_target_properties(tansyctl PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
