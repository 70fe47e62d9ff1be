# The audio pipeline: the decoder's buffer and sample conversion on their own, the board's audio
# output models, the track player through the whole pipeline on fresh boards, and the
# simulator's audio files.
add_executable(audio_tests
  ${CMAKE_CURRENT_LIST_DIR}/audio_board.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_mp3_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_player.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_player_faults.cpp
  $<TARGET_OBJECTS:firmware>)
target_link_libraries(audio_tests PRIVATE boardtest imagetest proctest GTest::gtest_main)
target_include_directories(audio_tests PRIVATE
  $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES> ${PROJECT_SOURCE_DIR}/User/apps/app_audio
  ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(audio_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME audio_tests COMMAND audio_tests)

# The board's audio models without the firmware: the test is the application.
add_executable(audio_model_tests ${CMAKE_CURRENT_LIST_DIR}/test_audio_models.cpp)
target_link_libraries(audio_model_tests PRIVATE boardtest proctest GTest::gtest_main)
target_compile_options(audio_model_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME audio_model_tests COMMAND audio_model_tests)

add_executable(audio_sim_tests ${CMAKE_CURRENT_LIST_DIR}/test_audio_sim.cpp)
target_link_libraries(audio_sim_tests PRIVATE proctest GTest::gtest_main)
target_compile_definitions(audio_sim_tests PRIVATE SHAPEPLAY_SIM="$<TARGET_FILE:shapeplay-sim>")
target_compile_options(audio_sim_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_dependencies(audio_sim_tests shapeplay-sim)
add_test(NAME audio_sim_tests COMMAND audio_sim_tests)

# Plays a 10-minute track through the whole pipeline headless against a bare libmad decode of
# the same file (not a test: prints figures).
add_executable(bench_audio ${CMAKE_CURRENT_LIST_DIR}/../bench/bench_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio_board.cpp $<TARGET_OBJECTS:firmware>)
target_link_libraries(bench_audio PRIVATE boardtest imagetest proctest GTest::gtest)
target_include_directories(bench_audio PRIVATE
  $<TARGET_PROPERTY:firmware,INCLUDE_DIRECTORIES> ${PROJECT_SOURCE_DIR}/User/apps/app_audio
  ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(bench_audio PRIVATE ${SHAPEPLAY_WARNINGS})
