# The working-channel windows on the offscreen platform: one decode and
# repaint of a page, and memory over many cyclic polls.
add_executable(app_gui_bench ${CMAKE_CURRENT_LIST_DIR}/app_gui_bench.cpp)
target_link_libraries(app_gui_bench PRIVATE korlin_app korlin_sim benchmark::benchmark)
