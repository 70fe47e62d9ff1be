# The main control loop with the whole firmware, on fresh boards.
add_executable(mainloop_tests ${CMAKE_CURRENT_LIST_DIR}/test_mainloop.cpp $<TARGET_OBJECTS:firmware>)
target_link_libraries(mainloop_tests PRIVATE boardtest proctest GTest::gtest_main)
target_include_directories(mainloop_tests PRIVATE $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES>)
target_compile_definitions(mainloop_tests PRIVATE
  SHAPEPLAY_SIM="$<TARGET_FILE:shapeplay-sim>" SHAPEPLAY_MKSTICK="$<TARGET_FILE:shapeplay-mkstick>")
target_compile_options(mainloop_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(mainloop_tests shapeplay-sim shapeplay-mkstick)
add_test(NAME mainloop_tests COMMAND mainloop_tests)
