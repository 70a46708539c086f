orvinta_add_test(test_grid_model SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_grid_model.cpp LIBS orvinta_forms)
orvinta_add_test(test_grid_widgets SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_grid_widgets.cpp LIBS orvinta_forms)
