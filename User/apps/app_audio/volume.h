// The volume knob's scale: the encoder timer (TIM8, 4 counts a step), the highest step the
// parents allow and the step last applied. The encoder's thread owns the counting; the
// settings code seeds it at start-up and lowers its maximum.
#pragma once

#include <atomic>
#include <cstdint>

#include "stm32f7xx_hal.h"

class Volume {
 public:
  Volume();
  // New highest step; the current step is cut down to min(max, 63) if it is above.
  void setMax(int16_t max);

  TIM_HandleTypeDef timerHandle = {};
  std::atomic<int16_t> maxVal{63};
  std::atomic<int16_t> currentVal{0};
};
