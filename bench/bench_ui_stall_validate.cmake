# Event-loop stalls of the shown window while it validates 10,000 farm proxies 500 at a time and
# 50,000 proxies 5000 at a time.
if(TARGET lumvex_ui)
  add_executable(bench_ui_stall_validate ${CMAKE_CURRENT_LIST_DIR}/bench_ui_stall_validate.cpp)
  set_target_properties(bench_ui_stall_validate PROPERTIES AUTOMOC ON)
  target_include_directories(bench_ui_stall_validate PRIVATE ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(bench_ui_stall_validate PRIVATE lumvex_ui lumvex_fixture)
endif()
