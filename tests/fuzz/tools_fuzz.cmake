# The stick manifest parser of shapeplay-mkstick, with the short names and layout it feeds.
shapeplay_fuzzer(fuzz_manifest fuzz/fuzz_manifest.cpp
  ${PROJECT_SOURCE_DIR}/tools/mkstick/manifest.cpp
  ${PROJECT_SOURCE_DIR}/tools/mkstick/tree.cpp
  ${PROJECT_SOURCE_DIR}/tools/mkstick/names.cpp
  ${PROJECT_SOURCE_DIR}/tools/mkstick/image.cpp)
target_include_directories(fuzz_manifest PRIVATE ${PROJECT_SOURCE_DIR}/tools/mkstick)
