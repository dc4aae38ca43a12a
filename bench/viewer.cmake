# The viewer's first chart of a maximal history on a pseudo-terminal, and
# its peak memory, beside one block read plus the conversion.
add_executable(viewer_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_first_chart.cc)
target_link_libraries(viewer_bench PRIVATE tavelund_engine tavelund_intake tickwell
  benchmark::benchmark util)
target_include_directories(viewer_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(viewer_bench PRIVATE TAVELUND_VIEWER="$<TARGET_FILE:ConsoleTavelundPF>")
add_dependencies(viewer_bench ConsoleTavelundPF)
tavelund_warnings(viewer_bench)
