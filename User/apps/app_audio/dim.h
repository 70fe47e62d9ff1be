// Display dimming. The backlight has only an on/off line (PK3, high = on); the TIM4 update
// interrupt switches it in software, 512 interrupts to a period, on for `level` of them.
#pragma once

#include <atomic>
#include <cstdint>

#include "stm32f7xx_hal.h"

// Interrupt ticks per dimming period, and the level of full brightness.
constexpr uint16_t DIM_MAX = 512;

// Written by the LED thread, read by the TIM4 interrupt.
struct DimData {
  std::atomic<uint16_t> level{0};      // on-time per period in ticks, 0..512; 512 = always on
  std::atomic<uint16_t> nextLevel{0};  // level to take when `countdown` runs out
  std::atomic<uint16_t> countdown{0};  // periods until `nextLevel` is taken; 0 = none pending
};

extern DimData dimmerData;

// The dimmer's timer: TIM4 at the full timer clock, an update every 1001 clocks (10.01 us).
class DimBacklight {
 public:
  // PK3 as output, TIM4 with its update interrupt at priority 1. False when the timer
  // refuses its set-up (the backlight then keeps the level the line has).
  bool init();
  void setLevel(uint16_t level) { dimmerData.level.store(level, std::memory_order_relaxed); }

  TIM_HandleTypeDef htim = {};
};

extern "C" void TIM4_IRQHandler(void);
