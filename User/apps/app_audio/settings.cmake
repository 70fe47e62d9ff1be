# Settings in the serial SRAM and the codec's sound settings: the firmware side, and the
# board models they talk to (SPI2 with the serial SRAM, the codec's control bus).
target_sources(firmware PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram/spi_sram.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram/sram_data.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/sram/sram_record.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/audioSettings.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/parentsSettings.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/volume.cpp
)
target_sources(platform PRIVATE
  ${PROJECT_SOURCE_DIR}/platform/hal/spi.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/sram.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/codec.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/wm8994.cpp
)
