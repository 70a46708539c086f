orvinta_add_bench(bench_analysis_pie SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_pie.cpp
                  LIBS orvinta_analysis SQLite::SQLite3)
