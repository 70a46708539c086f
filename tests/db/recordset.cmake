orvinta_add_test(test_dialect SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_dialect.cpp LIBS orvinta_db)
orvinta_add_test(test_recordset SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_recordset.cpp LIBS orvinta_db
                 SERVER)
orvinta_add_test(test_opening SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_opening.cpp LIBS orvinta_db)
orvinta_add_test(test_server SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_server.cpp
                 LIBS orvinta_forms orvinta_dbtool SERVER_ONLY)
