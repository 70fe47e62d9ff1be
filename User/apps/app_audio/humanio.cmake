# Human I/O: the WS2811 LEDs, display dimming, status LED and light sensor, volume knob,
# keys and power-off on the firmware side, and the board models they talk to (DMA streams,
# timer channels in PWM and encoder mode, ADC, the LED chain, the backlight, the controls).
target_sources(firmware PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/WS2811.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/dim.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/ldr.cpp
)
target_sources(platform PRIVATE
  ${PROJECT_SOURCE_DIR}/platform/hal/dma.cpp
  ${PROJECT_SOURCE_DIR}/platform/hal/tim_channels.cpp
  ${PROJECT_SOURCE_DIR}/platform/hal/adc.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/ws2811_chain.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/backlight.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/inputs.cpp
)
