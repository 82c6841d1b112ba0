add_executable(bench_list_commands ${CMAKE_CURRENT_LIST_DIR}/bench_list_commands.cpp)
target_link_libraries(bench_list_commands PRIVATE lumvex_app lumvex_proxylist lumvex_platform
                                                  lumvex_text)
