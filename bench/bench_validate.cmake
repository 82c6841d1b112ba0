# A validation run over 2000 fake proxies of mixed behaviour, through the real StartValidation
# path on the headless UI thread, at 200 and at 2000 workers.
add_executable(bench_validate ${CMAKE_CURRENT_LIST_DIR}/bench_validate.cpp)
target_include_directories(bench_validate PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(bench_validate PRIVATE lumvex_core lumvex_fixture Threads::Threads)
