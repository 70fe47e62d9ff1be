# Media library: the name rules, and the folder lists and picture slots on the simulated
# board with stick images made by the image builder.
add_executable(media_tests
  ${CMAKE_CURRENT_LIST_DIR}/test_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_media.cpp
  $<TARGET_OBJECTS:firmware>)
target_link_libraries(media_tests PRIVATE boardtest proctest GTest::gtest_main)
target_include_directories(media_tests PRIVATE $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES>)
target_compile_definitions(media_tests PRIVATE SHAPEPLAY_MKSTICK="$<TARGET_FILE:shapeplay-mkstick>")
target_compile_options(media_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(media_tests shapeplay-mkstick)
add_test(NAME media_tests COMMAND media_tests)
