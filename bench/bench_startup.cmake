# Start-up of the real program to its first painted window, with a 100,000-row list and without.
if(TARGET lumvexip)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
  target_compile_definitions(bench_startup PRIVATE LUMVEX_PROGRAM="$<TARGET_FILE:lumvexip>")
  # It writes a large check history for its last case.
  target_link_libraries(bench_startup PRIVATE lumvex_history)
  add_dependencies(bench_startup lumvexip)
endif()
