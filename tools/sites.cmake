# Loopback stand-ins for the three proxy-list sources (lumvex_sites) and the program that runs
# them by hand and for the demo (lumvex_proxy_sites).
add_library(lumvex_sites STATIC ${CMAKE_CURRENT_LIST_DIR}/sites/proxy_sites.cpp)
target_include_directories(lumvex_sites PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lumvex_sites PUBLIC lumvex_fixture lumvex_text)

add_executable(lumvex_proxy_sites ${CMAKE_CURRENT_LIST_DIR}/sites/proxy_sites_main.cpp)
target_link_libraries(lumvex_proxy_sites PRIVATE lumvex_sites)
