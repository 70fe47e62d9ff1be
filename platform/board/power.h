// The power latch: while the firmware holds its line low the board keeps its supply; driven
// high, the supply is cut and the board is off.
#pragma once

#include "simhal.h"

namespace simpower {

// Exit status of a board process whose run ended because the board switched itself off.
constexpr int kPoweredOff = 100;

// Starts watching the latch on `line` (called once at power-on).
void watchLatch(simhal::Line line);

}  // namespace simpower
