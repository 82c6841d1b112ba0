# Loopback update manifest page and download server (lumvex_update_servers library for tests,
# and the program lumvex_update_servers for trying the online update by hand and the demo).
file(GLOB _update_server_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/update_servers/*.cpp)
list(FILTER _update_server_srcs EXCLUDE REGEX ".*_main\\.cpp$")
add_library(lumvex_update_server_lib STATIC ${_update_server_srcs})
target_include_directories(lumvex_update_server_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lumvex_update_server_lib PUBLIC lumvex_fixture lumvex_text Threads::Threads)

add_executable(lumvex_update_servers ${CMAKE_CURRENT_LIST_DIR}/update_servers/update_servers_main.cpp)
target_link_libraries(lumvex_update_servers PRIVATE lumvex_update_server_lib)
