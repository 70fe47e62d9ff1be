// The display's backlight: its on/off line PK3, switched by the firmware's TIM4 interrupt.
#pragma once

#include <cstdint>

namespace simbacklight {

// Called by the timer model when TIM4's update interrupt starts: from then on the duty
// cycle of PK3 is measured (and PK3's changes leave the `gpio` trace).
void connect();

// ---- backdoor (tests, screenshots, the window)
// The brightness the display shows, in per-mille of full: the share of time PK3 was high in
// the latest measured period; before the dimmer runs, PK3's level (0 or 1000).
int duty();
// The latest measured period: TIM4 updates with PK3 high, and updates in all.
std::uint64_t highUpdates();
std::uint64_t periodUpdates();

}  // namespace simbacklight
