# Settings record in the serial SRAM and the codec's sound settings: the firmware's settings
# code on the simulated board, the board models it talks to, and the simulator keeping the
# chip in a file.
add_executable(settings_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/test_codec_settings.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/test_settings_store.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/test_settings_models.cpp
  $<TARGET_OBJECTS:firmware>)
target_link_libraries(settings_tests PRIVATE boardtest GTest::gtest_main)
target_include_directories(settings_tests PRIVATE
  $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES> ${PROJECT_SOURCE_DIR}/User/apps/app_audio)
target_compile_options(settings_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME settings_tests COMMAND settings_tests)

add_executable(settings_sim_tests ${CMAKE_CURRENT_SOURCE_DIR}/settings/test_settings_sim.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram/sram_record.cpp)
target_link_libraries(settings_sim_tests PRIVATE proctest GTest::gtest_main)
target_include_directories(settings_sim_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio ${PROJECT_SOURCE_DIR}/platform/include
  ${PROJECT_SOURCE_DIR}/User/conf)
target_compile_definitions(settings_sim_tests PRIVATE SHAPEPLAY_SIM="$<TARGET_FILE:shapeplay-sim>")
target_compile_options(settings_sim_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(settings_sim_tests shapeplay-sim)
add_test(NAME settings_sim_tests COMMAND settings_sim_tests)
