// Where each part of the device sits in the window (the panel, the three LEDs, the volume
// knob, the parents' and power keys, the mono switch, the light slider, the stick slot with
// its buttons and messages) and which part a point of the window hits.
#pragma once

#include <array>

namespace simwin {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  int right() const { return x + w; }
  int bottom() const { return y + h; }
  int midX() const { return x + w / 2; }
  int midY() const { return y + h / 2; }
};

enum class Part { None, Panel, Knob, ParentsKey, PowerKey, Mono, Light, DemoStick, Eject };

struct Layout {
  int scale = 1;  // the panel's pixels are scale x scale
  int width = 0, height = 0;
  Rect body, bezel, panel;
  std::array<Rect, 3> leds;
  Rect knob;  // the knob's round face inside
  Rect parentsKey, powerKey;
  Rect mono;   // the switch's track
  Rect light;  // the slider's track
  Rect stick;  // where a stick stands in the slot
  Rect slot;
  Rect demoStick, eject;
  Rect message;  // the stick's messages and the progress bar

  // The window's layout with the panel `scale` times (1 or 2).
  static Layout make(int scale);
  // The window's size for a panel `scale` times, to see whether a screen has room for it.
  static void size(int scale, int* width, int* height);

  Part hit(int x, int y) const;
  // The panel's pixel under a point of the window (clamped to the panel).
  void toPanel(int x, int y, int* px, int* py) const;
  // The light sensor's reading (0..4095: the more light, the less it reads) a slider handle
  // at window x stands for, and back.
  int lightAt(int x) const;
  int lightX(int reading) const;
};

}  // namespace simwin
