// The controls a person uses: the volume knob, the parents'/power key with its function line,
// the mono switch and the light sensor.
//
// Knob: a quadrature encoder on two timer inputs (PC6/PC7, TIM8 channels 1 and 2, on this
// board). One detent is a full
// quadrature cycle: 4 counts when the timer counts the edges of both inputs
// (TIM_ENCODERMODE_TI12), 2 when it counts one input's. The knob is wired so that clockwise
// counts up when exactly one of the two inputs is inverted (the firmware inverts channel 2),
// down otherwise. The counter wraps at the auto-reload value (16 bits). A turn while the timer
// is not counting in encoder mode is lost, as the edges are on the chip.
//
// Key: one key (PG7), low while pressed (a pull-up on the board holds it high otherwise). Its
// function line (PG6) is high for the parents' settings and low for power: the scenario's
// "parents" key presses the key with the function line high, the "power" key with it low. With
// both held, the function line is high.
//
// Mono switch (PF6): high = mono. Light sensor: the reading of an ADC input (ADC3 channel 7,
// PF9), 0..4095; 800 at power-on (a lit room: full backlight).
#include "inputs.h"

#include <algorithm>

#include "simhal.h"

namespace simboard {
namespace {

constexpr int kDefaultLight = 800;

struct Controls {
  ControlLines lines;
  bool connected = false;
  bool parents = false;
  bool power = false;
  bool mono = false;
  int light = kDefaultLight;
};

Controls& controls() {
  static Controls c;
  return c;
}

// Puts the keys' and the switch's levels on their lines.
void applyLevels() {
  const Controls& c = controls();
  if (!c.connected) return;
  const ControlLines& l = c.lines;
  simhal::setInputLevel(l.key.port, l.key.pin, !(c.parents || c.power));
  simhal::setInputLevel(l.keyFunction.port, l.keyFunction.pin, c.parents);
  simhal::setInputLevel(l.mono.port, l.mono.pin, c.mono);
}

}  // namespace

void connectControls(const ControlLines& lines) {
  Controls& c = controls();
  c.lines = lines;
  c.connected = true;
  applyLevels();
  simhal::attachAdcInput(lines.lightAdc, lines.lightChannel,
                         [] { return static_cast<std::uint32_t>(controls().light); });
}

void turn(int detents) {
  TIM_TypeDef* tim = controls().lines.encoder;
  if (tim == nullptr) return;
  const uint32_t sms = tim->SMCR & TIM_SMCR_SMS;
  if ((tim->CR1 & TIM_CR1_CEN) == 0 || sms < TIM_ENCODERMODE_TI1 || sms > TIM_ENCODERMODE_TI12) {
    return;
  }
  const int64_t perDetent = sms == TIM_ENCODERMODE_TI12 ? 4 : 2;
  const bool oneInverted = ((tim->CCER & TIM_CCER_CC1P) != 0) != ((tim->CCER & TIM_CCER_CC2P) != 0);
  const int64_t delta = (oneInverted ? 1 : -1) * perDetent * detents;
  const int64_t span = static_cast<int64_t>(tim->ARR & 0xFFFF) + 1;
  const int64_t count = static_cast<int64_t>(tim->CNT & 0xFFFF) + delta;
  tim->CNT = static_cast<uint32_t>(((count % span) + span) % span);
}

void setKey(Key key, bool down) {
  (key == Key::Parents ? controls().parents : controls().power) = down;
  applyLevels();
}

bool keyDown(Key key) { return key == Key::Parents ? controls().parents : controls().power; }

void setMono(bool on) {
  controls().mono = on;
  applyLevels();
}

bool mono() { return controls().mono; }

void setLight(int raw) { controls().light = std::clamp(raw, 0, 4095); }

int light() { return controls().light; }

}  // namespace simboard
