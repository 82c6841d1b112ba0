# Validation runs over fake proxies of mixed behaviour, through the real StartValidation path on
# the headless UI thread: 200 and 2000 at once over 2000 proxies, 10000 at once over 20000.
add_executable(bench_validate ${CMAKE_CURRENT_LIST_DIR}/bench_validate.cpp)
target_include_directories(bench_validate PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(bench_validate PRIVATE lumvex_core lumvex_fixture Threads::Threads)
