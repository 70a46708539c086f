orvinta_add_bench(bench_grid SOURCES ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp LIBS orvinta_forms)
