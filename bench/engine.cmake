# Timeline conversion and chart update on a maximal batch, against the
# literal split + std::regex conversion; memory of the chart's snapshots.
add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_conversion.cc)
target_link_libraries(engine_bench PRIVATE tavelund_engine tavelund_intake benchmark::benchmark)
target_include_directories(engine_bench PRIVATE ${PROJECT_SOURCE_DIR})
tavelund_warnings(engine_bench)
