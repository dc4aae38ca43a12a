# The batch's time-order check beside the full conversion of a maximal batch.
add_executable(intake_bench ${CMAKE_CURRENT_LIST_DIR}/intake_time_order.cc)
target_link_libraries(intake_bench PRIVATE tavelund_intake benchmark::benchmark)
target_include_directories(intake_bench PRIVATE ${PROJECT_SOURCE_DIR})
tavelund_warnings(intake_bench)
