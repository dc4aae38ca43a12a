# Publish + read through the link library beside a plain 128 MiB memcpy.
add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cc)
target_link_libraries(link_bench PRIVATE tickwell tickwell_core benchmark::benchmark)
tavelund_warnings(link_bench)
