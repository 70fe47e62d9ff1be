// The power latch on PA0: while the firmware holds it low the board keeps its supply; driven
// high, the supply is cut and the board is off.
#pragma once

namespace simpower {

// Exit status of a board process whose run ended because the board switched itself off.
constexpr int kPoweredOff = 100;

// Starts watching the latch (called once at power-on).
void watchLatch();

}  // namespace simpower
