# A source-A harvest of 2000 rows from the loopback site (wall time against the one-page-per-second
# pacing), the parse time of an 80-row page, and peak memory with 25 pages in flight.
add_executable(bench_harvest ${CMAKE_CURRENT_LIST_DIR}/bench_harvest.cpp)
target_link_libraries(bench_harvest PRIVATE lumvex_core lumvex_sites Threads::Threads)
