# The gateway's relay against tinyproxy alone (throughput, added time of a small GET), 5,000 idle
# tunnels in the gateway's process, and failover when the upstream in use dies.
add_executable(bench_gateway ${CMAKE_CURRENT_LIST_DIR}/bench_gateway.cpp)
target_link_libraries(bench_gateway PRIVATE lumvex_gateway Threads::Threads)
