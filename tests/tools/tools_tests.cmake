# The stick-image builder: names, manifest and layout as pure logic, and the program's
# images read back by the Debian tools (mtools, dosfstools).
add_executable(mkstick_tests
  tools/test_mkstick_names.cpp
  tools/test_mkstick_manifest.cpp
  tools/test_mkstick.cpp
)
target_link_libraries(mkstick_tests PRIVATE mkstick_core proctest GTest::gtest_main)
target_compile_definitions(mkstick_tests PRIVATE
  SHAPEPLAY_MKSTICK="$<TARGET_FILE:shapeplay-mkstick>")
target_compile_options(mkstick_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(mkstick_tests shapeplay-mkstick)
add_test(NAME mkstick_tests COMMAND mkstick_tests)
