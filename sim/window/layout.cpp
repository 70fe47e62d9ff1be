// Where each part of the device sits in the window (layout.h): the panel in its bezel on the
// left, and beside it a column, from the top: the LEDs, the knob, the keys, the mono switch,
// the light slider, the stick slot and the stick's messages.
#include "layout.h"

#include <algorithm>
#include <cmath>

namespace simwin {
namespace {

constexpr int kPanelW = 272, kPanelH = 480;
constexpr int kMargin = 12;  // window edge to body
constexpr int kPad = 22;     // body edge to bezel and column
constexpr int kBezel = 14;   // bezel around the panel
constexpr int kColumn = 240;

struct Blocks {
  int leds, knob, keys, mono, light, stick, message;
};

Blocks blocksFor(int scale) {
  const int knob = scale == 1 ? 104 : 150;
  return {34, knob + 20, 74, 30, 44, 96, scale == 1 ? 62 : 96};
}

}  // namespace

void Layout::size(int scale, int* width, int* height) {
  *width = kMargin + kPad + kPanelW * scale + 2 * kBezel + kPad + kColumn + kPad + kMargin;
  *height = kMargin + kPad + kPanelH * scale + 2 * kBezel + kPad + kMargin;
}

Layout Layout::make(int scale) {
  Layout l;
  l.scale = scale;
  size(scale, &l.width, &l.height);
  l.bezel = {kMargin + kPad, kMargin + kPad, kPanelW * scale + 2 * kBezel,
             kPanelH * scale + 2 * kBezel};
  l.panel = {l.bezel.x + kBezel, l.bezel.y + kBezel, kPanelW * scale, kPanelH * scale};
  l.body = {kMargin, kMargin, l.width - 2 * kMargin, l.height - 2 * kMargin};

  const int x = l.bezel.right() + kPad;
  const Blocks b = blocksFor(scale);
  const int used = b.leds + b.knob + b.keys + b.mono + b.light + b.stick + b.message;
  const int gap = (l.bezel.h - used) / 6;
  int y = l.bezel.y;
  const int mid = x + kColumn / 2;

  for (int i = 0; i < 3; ++i) l.leds[i] = {mid - 60 + i * 44 - 13, y + 4, 26, 26};
  y += b.leds + gap;

  const int d = b.knob - 20;
  l.knob = {mid - d / 2, y, d, d};
  y += b.knob + gap;

  l.parentsKey = {mid - 58 - 27, y, 54, 54};
  l.powerKey = {mid + 58 - 27, y, 54, 54};
  y += b.keys + gap;

  l.mono = {x + kColumn - 24 - 56, y + 2, 56, 26};
  y += b.mono + gap;

  l.light = {x + 24, y + 30, kColumn - 48, 8};
  y += b.light + gap;

  l.stick = {mid - 62, y, 124, 44};
  l.slot = {mid - 86, y + 40, 172, 14};
  l.demoStick = {x + 8, y + 64, 108, 30};
  l.eject = {x + kColumn - 8 - 108, y + 64, 108, 30};
  y += b.stick + gap;

  l.message = {x, y, kColumn, b.message};
  return l;
}

Part Layout::hit(int x, int y) const {
  const auto inCircle = [x, y](const Rect& r) {
    const double dx = x + 0.5 - (r.x + r.w / 2.0), dy = y + 0.5 - (r.y + r.h / 2.0);
    return dx * dx + dy * dy <= (r.w / 2.0 + 4) * (r.w / 2.0 + 4);
  };
  if (panel.contains(x, y)) return Part::Panel;
  if (inCircle(knob)) return Part::Knob;
  if (inCircle(parentsKey)) return Part::ParentsKey;
  if (inCircle(powerKey)) return Part::PowerKey;
  if (Rect{mono.x - 60, mono.y - 4, mono.w + 64, mono.h + 8}.contains(x, y)) return Part::Mono;
  if (Rect{light.x - 12, light.y - 14, light.w + 24, light.h + 28}.contains(x, y)) {
    return Part::Light;
  }
  if (demoStick.contains(x, y)) return Part::DemoStick;
  if (eject.contains(x, y)) return Part::Eject;
  return Part::None;
}

void Layout::toPanel(int x, int y, int* px, int* py) const {
  *px = std::clamp((x - panel.x) / scale, 0, kPanelW - 1);
  *py = std::clamp((y - panel.y) / scale, 0, kPanelH - 1);
}

// The room's light grows to the right; the sensor reads less the more light falls on it.
int Layout::lightAt(int x) const {
  const double t = std::clamp(static_cast<double>(x - light.x) / light.w, 0.0, 1.0);
  return static_cast<int>(std::lround((1.0 - t) * 4095));
}

int Layout::lightX(int reading) const {
  const double t = 1.0 - std::clamp(reading, 0, 4095) / 4095.0;
  return light.x + static_cast<int>(std::lround(t * light.w));
}

}  // namespace simwin
