orvinta_add_test(test_unit7 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit7.cpp LIBS orvinta_analysis)
orvinta_add_test(test_unit7_print SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit7_print.cpp
                 LIBS orvinta_analysis)
