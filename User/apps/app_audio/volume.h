// The volume knob: a quadrature encoder on TIM8 (4 counts a step), the highest step the
// parents allow and the step last applied. The human-input thread sets the encoder up and
// reads it; the settings code seeds it at start-up and lowers its maximum.
#pragma once

#include <atomic>
#include <cstdint>

#include "stm32f7xx_hal.h"

class Volume {
 public:
  static constexpr int16_t COUNTS_PER_STEP = 4;
  static constexpr int16_t MAX_STEP = 63;

  Volume();
  // New highest step; the current step is cut down to min(max, 63) if it is above.
  void setMax(int16_t max);
  // PC6/PC7 as TIM8 channels 1 and 2, TIM8 counting both edges of both inputs; the maximum
  // back at 63. False when the timer refuses the encoder set-up (the counter then stands).
  bool init();
  // Counter and current step at `step`.
  void seed(uint8_t step);
  // Clamps the counter to 0..4 x maximum and takes its step; true, with the step, when it
  // differs from the current one (which it then becomes).
  bool poll(int16_t& step);

  TIM_HandleTypeDef timerHandle = {};
  TIM_Encoder_InitTypeDef timerConfig = {};
  std::atomic<int16_t> maxVal{MAX_STEP};
  std::atomic<int16_t> currentVal{0};
};
