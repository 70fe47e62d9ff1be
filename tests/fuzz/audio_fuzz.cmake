# The MP3 decoder driver's input buffer with libmad, fed arbitrary file chunks.
include(${PROJECT_SOURCE_DIR}/User/apps/app_audio/libmad.cmake)
shapeplay_fuzzer(fuzz_mp3 fuzz/fuzz_mp3.cpp
                 ${PROJECT_SOURCE_DIR}/User/apps/app_audio/mp3/mp3_input.cpp)
target_include_directories(fuzz_mp3 PRIVATE ${PROJECT_SOURCE_DIR}/User/apps/app_audio)
target_link_libraries(fuzz_mp3 PRIVATE mad_hooked)
