// The controls a person uses on the board, as the scenario, the window and tests move them.
// Each is a level or position the firmware reads through the chip's peripherals: the encoder
// knob (TIM8 in encoder mode on PC6/PC7), the parents'/power key (PG7) and its function line
// (PG6), the mono switch (PF6), and the light sensor (ADC3 channel 7).
#pragma once

#include <cstdint>

namespace simboard {

// Turns the knob by whole detents of 4 counts; positive is clockwise.
void turn(int detents);

enum class Key : std::uint8_t { Parents, Power };
// Holds a key down or lets it go.
void setKey(Key key, bool down);
bool keyDown(Key key);

void setMono(bool on);
bool mono();

// Raw 12-bit reading of the light sensor, 0..4095.
void setLight(int raw);
int light();

// Puts the keys' and the switch's levels on their lines. Called by the GPIO model when the
// firmware sets up inputs of ports F or G, and by every setter above.
void connectControls();

}  // namespace simboard
