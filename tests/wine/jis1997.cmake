# jis_table_check.exe: the jis1997 tables against Windows' own code page 932,
# built beside jis1997.dll and Tansy.exe (run by test_jis1997.py).
add_executable(jis_table_check ${CMAKE_CURRENT_LIST_DIR}/jis_table_check.cpp)
target_link_libraries(jis_table_check PRIVATE jis1997_api)
target_link_options(jis_table_check PRIVATE ${TANSY_STATIC_RUNTIME})
set_target_properties(jis_table_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
