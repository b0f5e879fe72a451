# Split, verification and assembly of a program array that fills the buffer.
find_package(benchmark REQUIRED)
add_executable(program_bench ${CMAKE_CURRENT_LIST_DIR}/program_bench.cpp)
target_link_libraries(program_bench PRIVATE korlin_program benchmark::benchmark benchmark::benchmark_main)
