# Event-loop stalls on the GUI thread while a worker appends 50,000 rows to the shown list.
if(TARGET lumvex_ui)
  add_executable(bench_ui_stall ${CMAKE_CURRENT_LIST_DIR}/bench_ui_stall.cpp)
  set_target_properties(bench_ui_stall PROPERTIES AUTOMOC ON)
  target_link_libraries(bench_ui_stall PRIVATE lumvex_ui)
endif()
