orvinta_add_test(test_unit7 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit7.cpp LIBS orvinta_analysis
                 SERVER)
orvinta_add_test(test_unit7_print SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit7_print.cpp
                 LIBS orvinta_analysis)
