// The power latch: while the firmware holds its line low the board keeps its supply; driven
// high, the supply is cut and the board is off.
#pragma once

#include "simhal.h"

namespace simpower {

// Exit status of a board process whose run ended because the board switched itself off.
constexpr int kPoweredOff = 100;

// Starts watching the latch on `line` (called once at power-on).
void watchLatch(simhal::Line line);

// The board's backdoor (the scenario's `power cut`, the window's power button held long): the
// supply is lost at this instant, wherever the firmware is, even between two bytes of a
// transfer. What the devices hold stays as it is (the serial SRAM keeps its bytes); the board
// is off, as after the latch. Trace: `power` {state: "cut"}.
[[noreturn]] void cut();

}  // namespace simpower
