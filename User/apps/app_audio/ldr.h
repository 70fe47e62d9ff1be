// The light-dependent resistor on ADC3 channel 7 (PF9): a filtered reading of the room's
// light and the display brightness derived from it.
#pragma once

#include <cstdint>

#include "stm32f7xx_hal.h"

class Ldr {
 public:
  // Readings above this (a saturated or disconnected input) are taken as LDR_BRIGHT.
  static constexpr uint32_t LDR_SATURATED = 4090;
  static constexpr uint32_t LDR_BRIGHT = 200;
  // Weight of the old average in the filter: about 200 readings to settle.
  static constexpr uint32_t LDR_FILTER = 200;

  // PF9 analogue, ADC3: 12 bits, continuous conversion of channel 7 started by software.
  // False when the converter refuses its set-up or the channel.
  bool init();
  void start() { (void)HAL_ADC_Start(&AdcHandle); }
  // Takes the latest conversion into the filter and returns the brightness for the result.
  uint16_t measure();

  // The filter step: the first reading (average 0) starts the average.
  static uint32_t filter(uint32_t average, uint32_t reading);
  // Brightness 5..512 for a filtered reading: full below 1000, dimmest above 3000.
  static uint16_t lumOf(uint32_t average);

  ADC_HandleTypeDef AdcHandle = {};
  ADC_ChannelConfTypeDef sConfig = {};
  uint32_t average = 0;  // filtered reading; 0 = none yet
};
