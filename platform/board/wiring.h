// The board's wiring: which device sits on which of the chip's buses, timer channels, DMA
// streams and GPIO lines (wiring.cpp). The chip's peripheral models know none of it; they
// offer attach points that the wiring fills at every power-on.
#pragma once

namespace simboard {

// I2C3: the codec's control bus, shared with the touch controller.
inline constexpr int kControlBus = 3;

// Connects every device of the board except the power latch. Called once at each power-on,
// before the firmware starts.
void wire();

// The power latch: its line driven high cuts the supply and ends the board's life. Apart from
// wire(), so that a test can run the firmware's power-off without ending its board.
void wirePowerLatch();

}  // namespace simboard
