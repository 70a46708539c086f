orvinta_add_bench(bench_server SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_bench.cpp
                  LIBS orvinta_analysis PkgConfig::LibPQ)
