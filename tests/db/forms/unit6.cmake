orvinta_add_test(test_unit6 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit6.cpp LIBS orvinta_forms
                 SERVER)
