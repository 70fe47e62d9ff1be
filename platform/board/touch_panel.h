// The capacitive touch panel bonded to the display, and its touch controller on the codec's
// control bus (an FT5336-style chip, as on the STM32F746 discovery board).
#pragma once

#include <cstdint>

#include "simkernel.h"

namespace simtouch {

// The controller's bus address (8-bit write form; reads use 0x71).
inline constexpr std::uint8_t kAddress = 0x70;

// Registers (8-bit register numbers; a read goes on to the following registers).
inline constexpr std::uint8_t kRegDevMode = 0x00;
inline constexpr std::uint8_t kRegGestureId = 0x01;
inline constexpr std::uint8_t kRegTdStatus = 0x02;  // number of touch points (0 or 1)
inline constexpr std::uint8_t kRegP1XH = 0x03;      // event flag in bits 7..6, X bits 11..8
inline constexpr std::uint8_t kRegP1XL = 0x04;
inline constexpr std::uint8_t kRegP1YH = 0x05;  // touch id in bits 7..4, Y bits 11..8
inline constexpr std::uint8_t kRegP1YL = 0x06;
inline constexpr std::uint8_t kRegInterruptMode = 0xA4;
inline constexpr std::uint8_t kRegChipId = 0xA8;
inline constexpr std::uint8_t kChipId = 0x51;

// The event flag of point 1 (bits 7..6 of P1_XH).
inline constexpr std::uint8_t kEventPutDown = 0;
inline constexpr std::uint8_t kEventPutUp = 1;
inline constexpr std::uint8_t kEventContact = 2;
inline constexpr std::uint8_t kEventNone = 3;

// How long `tap` keeps the finger down, and how long a drag rests at its end before the finger
// lifts (more than a frame, so the frame loop sees where it ended).
inline constexpr simk::Time kTapHold = 100 * simk::kMs;
inline constexpr simk::Time kDragRest = 20 * simk::kMs;

// Puts the controller on I2C bus `bus` at kAddress, with no finger on the panel. Called once at
// power-on by the board's wiring.
void connect(int bus);

// ---- backdoor (scenario, window, tests). Coordinates are those of the picture as the child
// sees it (simdisplay::picture: x 0..271 to the right, y 0..479 down); values outside are held
// at the panel's edge. Each press and lift goes to the trace as a `touch` event
// {"x","y","state":"press"|"release"}. A new press, tap or drag while the finger is down moves
// it there (and cancels the lift a tap or drag had planned).
void press(int x, int y);
void release();
// A press that lifts by itself after kTapHold.
void tap(int x, int y);
// A press at (x1, y1) that moves at even speed to (x2, y2) in `duration`, rests there for
// kDragRest and lifts.
void drag(int x1, int y1, int x2, int y2, simk::Time duration);

bool touched();
// Where the finger is now (or was last), in the child's picture.
int x();
int y();
// Reads of the first point's position by the firmware since power-on.
std::uint64_t positionReads();

}  // namespace simtouch
