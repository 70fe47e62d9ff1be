# The file system over arbitrary media.
shapeplay_fuzzer(fuzz_fat fuzz/fuzz_fat.cpp
  ${PROJECT_SOURCE_DIR}/platform/fatfs/ff.cpp
  ${PROJECT_SOURCE_DIR}/platform/fatfs/ffunicode.cpp
  ${PROJECT_SOURCE_DIR}/platform/fatfs/ff_gen_drv.cpp)
target_include_directories(fuzz_fat PRIVATE
  ${PROJECT_SOURCE_DIR}/platform/include ${PROJECT_SOURCE_DIR}/User/conf)
