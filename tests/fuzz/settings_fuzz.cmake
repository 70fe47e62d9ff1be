# The stored settings record's check, on its own (no hardware behind it).
shapeplay_fuzzer(fuzz_settings fuzz/fuzz_settings.cpp
                 ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram/sram_record.cpp)
target_include_directories(fuzz_settings PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram ${PROJECT_SOURCE_DIR}/platform/include
  ${PROJECT_SOURCE_DIR}/User/conf)
