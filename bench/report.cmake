# Grid report: laying out and previewing 10,000 rows, and the memory it takes.
orvinta_add_bench(bench_report SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_bench.cpp
                  LIBS orvinta_forms)
