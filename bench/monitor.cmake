# Decoding of one working-channel poll (native and MODBUS) for a full page.
find_package(benchmark REQUIRED)
add_executable(monitor_bench ${CMAKE_CURRENT_LIST_DIR}/monitor_bench.cpp)
target_link_libraries(monitor_bench PRIVATE korlin_monitor benchmark::benchmark benchmark::benchmark_main)
