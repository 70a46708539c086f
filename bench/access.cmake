# Access import: rows per second, and the time to open an Access file first and again.
orvinta_add_bench(bench_access SOURCES ${CMAKE_CURRENT_LIST_DIR}/access_bench.cpp LIBS orvinta_access_reader orvinta_db)
target_compile_definitions(bench_access PRIVATE
    ORVINTA_DB_TOOL="$<TARGET_FILE:orvinta-db>"
    ORVINTA_ACCESS_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata/access")
add_dependencies(bench_access orvinta-db)
