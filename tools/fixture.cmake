# Loopback HTTP servers for tests and benchmarks (lumvex_fixture), plus two programs to run them
# by hand: lumvex_fixture_server and lumvex_proxy_farm.
file(GLOB _fixture_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fixture/*.cpp)
list(FILTER _fixture_srcs EXCLUDE REGEX ".*_main\\.cpp$")
add_library(lumvex_fixture STATIC ${_fixture_srcs})
# Both "fixture/fixture_server.h" and "fixture_server.h" resolve.
target_include_directories(lumvex_fixture PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                                                 ${CMAKE_CURRENT_LIST_DIR}/fixture)
target_link_libraries(lumvex_fixture PUBLIC Threads::Threads)

add_executable(lumvex_fixture_server ${CMAKE_CURRENT_LIST_DIR}/fixture/fixture_server_main.cpp)
target_link_libraries(lumvex_fixture_server PRIVATE lumvex_fixture)

add_executable(lumvex_proxy_farm ${CMAKE_CURRENT_LIST_DIR}/fixture/proxy_farm_main.cpp)
target_link_libraries(lumvex_proxy_farm PRIVATE lumvex_fixture)
