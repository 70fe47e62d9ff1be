// The chain of three WS2811 RGB LEDs on one data line, fed by a timer channel in PWM mode.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "simhal.h"
#include "simtim.h"

namespace simws2811 {

inline constexpr int kLeds = 3;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Puts the chain's data line `data` on the output of `tim`'s channel (1..4): it decodes each
// burst the channel sends while the line is switched to the timer (alternate function),
// latches the colours and writes the `leds` trace event. Called once at power-on by the
// board's wiring.
void connect(const TIM_TypeDef* tim, unsigned channel, simhal::Line data);

// ---- test backdoor
// The colours the LEDs show (all off at power-on).
std::array<Rgb, kLeds> colours();
// Bursts seen since power-on.
unsigned bursts();
// High time of each period of the latest burst, in timer clocks (the firmware's compare
// values in PWM mode 1 at prescaler 0).
std::vector<std::uint32_t> lastBurst();

}  // namespace simws2811
