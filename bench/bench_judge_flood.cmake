# The judge in a child process under a flood of bad requests from 249 loopback addresses, while a
# well-behaved client keeps asking.
add_executable(bench_judge_flood ${CMAKE_CURRENT_LIST_DIR}/bench_judge_flood.cpp)
target_link_libraries(bench_judge_flood PRIVATE lumvex_judge Threads::Threads)
