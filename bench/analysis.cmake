# The analysis on a long, volatile chart: the P screen's full analysis and
# the T overlay's per-redraw work.
add_executable(analysis_bench ${CMAKE_CURRENT_LIST_DIR}/analysis_bench.cc)
target_link_libraries(analysis_bench PRIVATE tavelund_analysis tavelund_engine benchmark::benchmark)
target_include_directories(analysis_bench PRIVATE ${PROJECT_SOURCE_DIR})
tavelund_warnings(analysis_bench)
