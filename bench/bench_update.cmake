# The online update: download throughput over loopback, field extraction from a large manifest
# page, and how long start-up waits on a manifest server that never answers.
add_executable(bench_update ${CMAKE_CURRENT_LIST_DIR}/bench_update.cpp)
target_include_directories(bench_update PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(bench_update PRIVATE lumvex_app lumvex_update lumvex_update_server_lib
                                           lumvex_fixture Threads::Threads)
