// The controls a person uses on the board, as the scenario, the window and tests move them.
// Each is a level or position the firmware reads through the chip's peripherals: the encoder
// knob (a timer in encoder mode), the parents'/power key and its function line, the mono
// switch, and the light sensor (an ADC input). The board's wiring says where each one sits.
#pragma once

#include <cstdint>

#include "simhal.h"

namespace simboard {

// Where the controls meet the chip.
struct ControlLines {
  TIM_TypeDef* encoder = nullptr;  // the knob's two quadrature inputs are its channels 1 and 2
  simhal::Line key;                // the key: low while pressed
  simhal::Line keyFunction;        // high for the parents' settings, low for power
  simhal::Line mono;               // high = mono
  const ADC_TypeDef* lightAdc = nullptr;
  std::uint32_t lightChannel = 0;
};

// Connects the controls, in their power-on positions (or as set since), to their lines. Called
// once at power-on by the board's wiring.
void connectControls(const ControlLines& lines);

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

}  // namespace simboard
