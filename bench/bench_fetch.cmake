# 2000 simultaneous page fetches through 2000 loopback proxies, half of which never answer.
add_executable(bench_fetch ${CMAKE_CURRENT_LIST_DIR}/bench_fetch.cpp)
target_include_directories(bench_fetch PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(bench_fetch PRIVATE lumvex_http lumvex_fixture Threads::Threads)
