# Time and peak memory of an import from a web address of a 2.2-million-row list.
add_executable(bench_url_import ${CMAKE_CURRENT_LIST_DIR}/bench_url_import.cpp)
target_include_directories(bench_url_import PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(bench_url_import PRIVATE lumvex_app lumvex_fixture)
