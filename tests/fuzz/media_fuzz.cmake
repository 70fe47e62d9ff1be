# The name rules of the media lists, on their own.
shapeplay_fuzzer(fuzz_names fuzz/fuzz_names.cpp
                 ${PROJECT_SOURCE_DIR}/User/apps/app_audio/fileNames.cpp)
target_include_directories(fuzz_names PRIVATE ${PROJECT_SOURCE_DIR}/User/apps/app_audio)
