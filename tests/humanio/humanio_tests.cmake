# Human I/O: the board models of the LED chain, knob, keys and light sensor on their own; the
# firmware's LED driver, dimming, status LED, light sensor, knob, keys and power-off on fresh
# boards; power cycles through the simulator.
add_executable(humanio_model_tests ${CMAKE_CURRENT_LIST_DIR}/test_humanio_models.cpp)
target_link_libraries(humanio_model_tests PRIVATE boardtest GTest::gtest_main)
target_compile_options(humanio_model_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME humanio_model_tests COMMAND humanio_model_tests)

add_executable(humanio_tests
  ${CMAKE_CURRENT_LIST_DIR}/test_leds_light.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_controls.cpp
  $<TARGET_OBJECTS:firmware>)
target_link_libraries(humanio_tests PRIVATE boardtest GTest::gtest_main)
target_include_directories(humanio_tests PRIVATE $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES>)
target_compile_options(humanio_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME humanio_tests COMMAND humanio_tests)

add_executable(humanio_sim_tests ${CMAKE_CURRENT_LIST_DIR}/test_humanio_sim.cpp)
target_link_libraries(humanio_sim_tests PRIVATE proctest GTest::gtest_main)
target_compile_definitions(humanio_sim_tests PRIVATE SHAPEPLAY_SIM="$<TARGET_FILE:shapeplay-sim>")
target_compile_options(humanio_sim_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(humanio_sim_tests shapeplay-sim)
add_test(NAME humanio_sim_tests COMMAND humanio_sim_tests)
