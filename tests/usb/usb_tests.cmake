add_library(imagetest STATIC ${CMAKE_CURRENT_LIST_DIR}/../support/images.cpp)
target_include_directories(imagetest PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(imagetest PUBLIC GTest::gtest)

# The stick through the whole USB stack and the stick service, on fresh boards.
add_executable(usb_tests ${CMAKE_CURRENT_LIST_DIR}/test_stick.cpp $<TARGET_OBJECTS:firmware>)
target_link_libraries(usb_tests PRIVATE boardtest imagetest proctest GTest::gtest_main)
target_include_directories(usb_tests PRIVATE $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES>)
target_compile_definitions(usb_tests PRIVATE SHAPEPLAY_SIM="$<TARGET_FILE:shapeplay-sim>"
  SHAPEPLAY_MKSTICK="$<TARGET_FILE:shapeplay-mkstick>")
add_dependencies(usb_tests shapeplay-mkstick)
target_compile_options(usb_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(usb_tests shapeplay-sim)
add_test(NAME usb_tests COMMAND usb_tests)

# Directory scan and file read throughput of the stick, virtual and wall time (not a test).
add_executable(bench_usb ${CMAKE_CURRENT_LIST_DIR}/../bench/bench_usb.cpp $<TARGET_OBJECTS:firmware>)
target_link_libraries(bench_usb PRIVATE boardtest imagetest proctest)
target_include_directories(bench_usb PRIVATE $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES>)
target_compile_options(bench_usb PRIVATE ${SHAPEPLAY_WARNINGS})
