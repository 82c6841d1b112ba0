add_executable(bench_regex ${CMAKE_CURRENT_LIST_DIR}/bench_regex.cpp)
target_link_libraries(bench_regex PRIVATE lumvex_acquire)
