# A reader of the desktop's proxy setting as GTK programs read it: GLib's proxy resolver.
pkg_check_modules(PROXY_LOOKUP_GIO REQUIRED IMPORTED_TARGET gio-2.0)
add_executable(lumvex_proxy_lookup ${CMAKE_CURRENT_LIST_DIR}/proxy_lookup/proxy_lookup_main.cpp)
target_link_libraries(lumvex_proxy_lookup PRIVATE PkgConfig::PROXY_LOOKUP_GIO)
