// The display's backlight: its on/off line, switched by the firmware from a timer's update
// interrupt.
#pragma once

#include <cstdint>

#include "simhal.h"

namespace simbacklight {

// The backlight's on/off line and the timer whose update interrupt dims it. Called once at
// power-on by the board's wiring; when that interrupt starts, the line's duty cycle is measured
// from then on (and its changes leave the `gpio` trace).
void connect(simhal::Line line, const TIM_TypeDef* dimmer);

// ---- backdoor (tests, screenshots, the window)
// The brightness the display shows, in per-mille of full: the share of time PK3 was high in
// the latest measured period; before the dimmer runs, the line's level (0 or 1000).
int duty();
// The latest measured period: timer updates with the line high, and updates in all.
std::uint64_t highUpdates();
std::uint64_t periodUpdates();

}  // namespace simbacklight
