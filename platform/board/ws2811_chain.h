// The chain of three WS2811 RGB LEDs on PB4, fed by TIM3 channel 1 in PWM mode.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "simtim.h"

namespace simws2811 {

inline constexpr int kLeds = 3;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// From the timer model: the waveform of one burst on TIM3 channel 1. Decodes it, latches the
// colours and writes the `leds` trace event.
void receive(const simhal::PwmBurst& burst);

// ---- test backdoor
// The colours the LEDs show (all off at power-on).
std::array<Rgb, kLeds> colours();
// Bursts seen since power-on.
unsigned bursts();
// High time of each period of the latest burst, in timer clocks (the firmware's compare
// values in PWM mode 1 at prescaler 0).
std::vector<std::uint32_t> lastBurst();

}  // namespace simws2811
