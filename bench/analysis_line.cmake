orvinta_add_bench(bench_analysis_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_line.cpp
                  LIBS orvinta_analysis SQLite::SQLite3)
