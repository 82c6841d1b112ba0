# The UI thread's cost of one look of the background re-checks at 100,000 rows.
add_executable(bench_recheck ${CMAKE_CURRENT_LIST_DIR}/bench_recheck.cpp)
target_link_libraries(bench_recheck PRIVATE lumvex_app lumvex_proxylist lumvex_http
                                            lumvex_platform lumvex_text)
