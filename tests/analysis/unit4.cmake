orvinta_add_test(test_unit4 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_unit4.cpp LIBS orvinta_analysis
                 SERVER)
orvinta_add_test(test_chartprint SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_chartprint.cpp
                 LIBS orvinta_analysis)
