// The timers' side for the board models: update interrupts counted one by one (also inside
// a batch), listeners called when the update interrupt starts and after each run of update
// interrupts, and the bursts of PWM periods that a channel sends to the device on its pin
// while DMA feeds its compare values.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "simkernel.h"
#include "stm32f7xx_hal.h"

namespace simhal {

// Update interrupts `tim` has raised since power-on.
std::uint64_t timerUpdates(const TIM_TypeDef* tim);
// Whether `tim` is counting with its update interrupt on.
bool timerUpdating(const TIM_TypeDef* tim);
// Called after each run of `tim`'s update interrupts (one batch, or a single interrupt).
void onTimerBatch(const TIM_TypeDef* tim, std::function<void()> listener);
// Called when `tim` starts counting with its update interrupt on (HAL_TIM_Base_Start_IT),
// before its first update.
void onTimerStart(const TIM_TypeDef* tim, std::function<void()> listener);
// `tim`'s update handler only keeps state: from its next start, its interrupt is raised
// `batch(period)` times in a row once every that many periods (1: one by one).
void batchTimerUpdates(const TIM_TypeDef* tim, std::function<unsigned(simk::Time period)> batch);

// What a PWM channel's pin showed during one DMA-fed burst: for each timer period, how many
// timer clocks the output was high.
struct PwmBurst {
  const TIM_TypeDef* tim = nullptr;
  unsigned channel = 1;  // 1..4
  std::vector<std::uint32_t> highClocks;
  std::uint32_t periodClocks = 0;  // timer clocks per period: (PSC + 1) x (ARR + 1)
  std::uint32_t clockHz = 0;       // the timer's clock
  bool complete = true;            // false when PWM was stopped before the last period
};

// Puts a device on the pin of `tim`'s channel (1..4): it gets every burst the channel sends,
// when the burst ends. Replaces the device there.
void attachPwmOutput(const TIM_TypeDef* tim, unsigned channel,
                     std::function<void(const PwmBurst&)> device);

}  // namespace simhal
