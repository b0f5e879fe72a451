# How far the real pauses and the serial read time-outs land from nominal,
# over a pseudo-terminal (median and worst error, in ms).
find_package(benchmark REQUIRED)
add_executable(link_timing ${CMAKE_CURRENT_LIST_DIR}/link_timing.cpp)
target_link_libraries(link_timing PRIVATE korlin_link benchmark::benchmark benchmark::benchmark_main)
