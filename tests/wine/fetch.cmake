# The fetch probe: the real download worker with a hidden window as its owner.
# It is named Tansy.exe, in a folder of its own, so that the agent name the
# server sees is the program's.
add_executable(fetch_probe
    ${CMAKE_SOURCE_DIR}/tests/wine/fetch_probe.cpp
    ${CMAKE_SOURCE_DIR}/fetch/fetch_worker_win.cpp
)
target_link_libraries(fetch_probe PRIVATE tansy_framework tansy_core)
target_link_options(fetch_probe PRIVATE ${TANSY_STATIC_RUNTIME})
set_target_properties(fetch_probe PROPERTIES
    OUTPUT_NAME Tansy
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fetch-probe)
