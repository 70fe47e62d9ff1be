// The device's face in the window (device_face.h): a sunny yellow body with the panel in its
// dark bezel on the left, and on the right, from the top, the three LEDs, the volume knob,
// the parents' and power keys, the mono switch, the light slider and the stick slot.
#include "device_face.h"

#include <algorithm>
#include <cmath>

namespace simwin {
namespace {

constexpr int kPanelW = 272, kPanelH = 480;

constexpr double kPi = 3.14159265358979323846;

// Colours of the face.
constexpr Colour kBackdrop = 0xDCD5CA;
constexpr Colour kBodyTop = 0xFFD15C, kBodyBottom = 0xF3A735, kBodyRim = 0xD98A1E;
constexpr Colour kBezelColour = 0x24262C;
constexpr Colour kInk = 0x5A3A12, kInkSoft = 0x8A6530;
constexpr Colour kHousing = 0x3A3A44, kLedOff = 0x4B4B57;
constexpr Colour kKnobRim = 0xD9D9E0, kKnobFace = 0xF6F6F9, kKnobPointer = 0xE2574C;
constexpr Colour kParents = 0x5B8DEF, kPower = 0xE25C4C, kGlow = 0x7CD992;
constexpr Colour kSwitchOn = 0x47B872, kSwitchOff = 0xB8AE9C, kWhite = 0xFFFFFF;
constexpr Colour kTrack = 0xC98A27, kTrackFill = 0xFFF1C9;
constexpr Colour kSlot = 0x2E2E36, kStickBody = 0x4A90E2, kStickCap = 0x3A76BD;
constexpr Colour kTrouble = 0xB3261E, kBar = 0x47B872;

}  // namespace

// ---- drawing

Face::Face(const Layout& layout) : l_(layout) {}
Face::~Face() = default;

void Face::loadFonts(const std::string& fontDir) {
  label_ = Font::load(fontDir + "/DejaVuSans.ttf", 14);
  small_ = Font::load(fontDir + "/DejaVuSans.ttf", 12);
  bold_ = Font::load(fontDir + "/DejaVuSans-Bold.ttf", 15);
  if (!bold_) bold_ = Font::load(fontDir + "/DejaVuSans.ttf", 15);
  background_.reset();
}

void Face::drawStatic(Canvas& c) {
  c.clear(kBackdrop);
  // The body, with a darker rim and a soft shadow beneath.
  Rect shadow = l_.body;
  shadow.y += 4;
  c.fillRoundRect(shadow, 34, 0x000000, 0.18);
  c.fillRoundRect(l_.body, 34, kBodyRim);
  Rect inner{l_.body.x + 3, l_.body.y + 3, l_.body.w - 6, l_.body.h - 6};
  c.shadeRoundRect(inner, 31, kBodyTop, kBodyBottom);
  c.fillRoundRect(l_.bezel, 18, kBezelColour);

  // Labels.
  const int mid = l_.knob.midX();
  c.fillRoundRect({l_.leds[0].x - 12, l_.leds[0].y - 4, l_.leds[2].right() - l_.leds[0].x + 24,
                   l_.leds[0].h + 8},
                  17, kHousing);
  c.text(label_.get(), "Volume", mid, l_.knob.bottom() + 17, kInk, 0);
  c.text(label_.get(), "Parents", l_.parentsKey.midX(), l_.parentsKey.bottom() + 18, kInk, 0);
  c.text(label_.get(), "Mono", l_.light.x, l_.mono.y + 18, kInk, -1);
  c.text(label_.get(), "Light", l_.light.x + 22, l_.light.y - 12, kInk, -1);
  // A little sun before the word.
  const double sx = l_.light.x + 8, sy = l_.light.y - 17;
  c.fillCircle(sx, sy, 4, kInk);
  for (int i = 0; i < 8; ++i) {
    const double a = i * kPi / 4;
    c.line(sx + 6 * std::cos(a), sy + 6 * std::sin(a), sx + 8.5 * std::cos(a),
           sy + 8.5 * std::sin(a), 1.6, kInk);
  }
  c.fillRoundRect(l_.slot, 7, kSlot);
}

void Face::drawLeds(const FaceState& s, Canvas& c) {
  for (int i = 0; i < 3; ++i) {
    const Rect& r = l_.leds[i];
    const Rgb& led = s.leds[i];
    const int top = std::max({led.r, led.g, led.b});
    const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0;
    if (top == 0) {
      c.fillCircle(cx, cy, r.w / 2.0, kLedOff);
      continue;
    }
    // The colour at full strength, shown as bright as the LED is lit (a dim LED still shows).
    const Colour full = static_cast<Colour>(led.r * 255 / top) << 16 |
                        static_cast<Colour>(led.g * 255 / top) << 8 |
                        static_cast<Colour>(led.b * 255 / top);
    const double strength = 0.35 + 0.65 * std::sqrt(top / 255.0);
    c.fillCircle(cx, cy, r.w / 2.0 + 5, full, 0.25 * strength);
    c.fillCircle(cx, cy, r.w / 2.0, mix(kLedOff, full, strength));
    c.fillCircle(cx - 4, cy - 4, 3.5, kWhite, 0.5 * strength);
  }
}

void Face::drawKnob(const FaceState& s, Canvas& c) {
  const Rect& k = l_.knob;
  const double cx = k.x + k.w / 2.0, cy = k.y + k.h / 2.0, r = k.w / 2.0;
  c.fillCircle(cx, cy + 3, r, 0x000000, 0.2);
  c.fillCircle(cx, cy, r, kKnobRim);
  // Grip ridges around the rim.
  for (int i = 0; i < 24; ++i) {
    const double a = i * 2 * kPi / 24;
    c.line(cx + (r - 7) * std::cos(a), cy + (r - 7) * std::sin(a), cx + (r - 2) * std::cos(a),
           cy + (r - 2) * std::sin(a), 2.0, 0xB9B9C3);
  }
  c.fillCircle(cx, cy, r - 10, kKnobFace);
  // 20 detents a turn; clockwise is louder.
  const double a = -kPi / 2 + s.knob * 2 * kPi / 20;
  c.line(cx + (r - 34) * std::cos(a), cy + (r - 34) * std::sin(a), cx + (r - 16) * std::cos(a),
         cy + (r - 16) * std::sin(a), 6, kKnobPointer);
  c.text(small_.get(), "-", k.x - 6, k.bottom() - 4, kInkSoft, 0);
  c.text(small_.get(), "+", k.right() + 6, k.bottom() - 4, kInkSoft, 0);
}

void Face::drawKeys(const FaceState& s, Canvas& c) {
  const auto key = [&c](const Rect& r, Colour colour, bool down) {
    const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0, rad = r.w / 2.0;
    c.fillCircle(cx, cy + 3, rad, 0x000000, down ? 0.1 : 0.25);
    const double lift = down ? 2 : 0;
    c.fillCircle(cx, cy + lift, rad, mix(colour, 0x000000, 0.25));
    c.fillCircle(cx, cy + lift - 1.5, rad - 3, down ? mix(colour, 0x000000, 0.15) : colour);
    return cy + lift - 1.5;
  };
  // The parents' key: a little heart.
  {
    const Rect& r = l_.parentsKey;
    const double cy = key(r, kParents, s.parentsDown || s.pressed == Part::ParentsKey);
    const double cx = r.x + r.w / 2.0;
    c.fillCircle(cx - 5, cy - 3, 6, kWhite);
    c.fillCircle(cx + 5, cy - 3, 6, kWhite);
    for (int row = 0; row < 11; ++row) {
      const double half = 10.5 - row;
      c.line(cx - half, cy + row, cx + half, cy + row, 1.2, kWhite);
    }
  }
  // The power key: the power sign; it glows while the board is off.
  {
    const Rect& r = l_.powerKey;
    const double cx = r.x + r.w / 2.0;
    if (!s.boardOn) c.fillRing(cx, r.y + r.h / 2.0, r.w / 2.0 + 3, r.w / 2.0 + 8, kGlow);
    const bool down = s.powerDown || s.pressed == Part::PowerKey;
    const double cy = key(r, kPower, down);
    c.fillRing(cx, cy + 1, 8.5, 12, kWhite);
    c.fillRect({static_cast<int>(cx) - 5, static_cast<int>(cy) - 13, 10, 10},
               down ? mix(kPower, 0x000000, 0.15) : kPower);
    c.line(cx, cy - 13, cx, cy - 1, 3.5, kWhite);
    c.text(label_.get(), s.boardOn ? "Power" : "Switch on", l_.powerKey.midX(),
           l_.powerKey.bottom() + 18, kInk, 0);
  }
}

void Face::drawMono(const FaceState& s, Canvas& c) {
  const Rect& m = l_.mono;
  c.fillRoundRect(m, m.h / 2.0, s.mono ? kSwitchOn : kSwitchOff);
  const double r = m.h / 2.0 - 3;
  const double cx = s.mono ? m.right() - 3 - r : m.x + 3 + r;
  c.fillCircle(cx, m.y + m.h / 2.0 + 1, r, 0x000000, 0.15);
  c.fillCircle(cx, m.y + m.h / 2.0, r, kWhite);
  c.text(small_.get(), s.mono ? "on" : "off", m.x - 8, m.y + 18, kInkSoft, 1);
}

void Face::drawLight(const FaceState& s, Canvas& c) {
  const Rect& t = l_.light;
  c.fillRoundRect(t, t.h / 2.0, kTrack);
  const int hx = l_.lightX(s.light);
  c.fillRoundRect({t.x, t.y, hx - t.x + t.h / 2, t.h}, t.h / 2.0, kTrackFill);
  c.fillCircle(hx, t.y + t.h / 2.0 + 1.5, 10, 0x000000, 0.2);
  c.fillCircle(hx, t.y + t.h / 2.0, 10, kWhite);
  c.fillCircle(hx, t.y + t.h / 2.0, 4, kTrack);
}

void Face::drawButton(Canvas& c, const Rect& r, const std::string& label, bool pressed) {
  Rect b = r;
  if (pressed) b.y += 1;
  c.fillRoundRect({r.x, r.y + 2, r.w, r.h}, r.h / 2.0, 0x000000, pressed ? 0.08 : 0.2);
  c.fillRoundRect(b, b.h / 2.0, pressed ? 0xF1E7D6 : kWhite);
  c.text(label_.get(), label, b.midX(), b.y + 20, kInk, 0);
}

void Face::drawStick(const FaceState& s, Canvas& c) {
  if (!s.stick.empty()) {
    const Rect& st = l_.stick;
    c.fillRoundRect({st.x + 2, st.y + 3, st.w, st.h}, 8, 0x000000, 0.2);
    c.fillRoundRect(st, 8, kStickBody);
    c.fillRoundRect({st.x, st.y, st.w, 12}, 6, kStickCap);
    const std::string name = bold_ ? bold_->fit(s.stick, st.w - 14) : s.stick;
    c.text(bold_.get(), name, st.midX(), st.y + 33, kWhite, 0);
  } else {
    c.text(small_.get(), "no stick", l_.stick.midX(), l_.stick.bottom() - 10, kInkSoft, 0);
  }
  c.fillRoundRect(l_.slot, 7, kSlot);
  drawButton(c, l_.demoStick, "Demo stick", s.pressed == Part::DemoStick);
  drawButton(c, l_.eject, "Eject", s.pressed == Part::Eject);

  const Rect& m = l_.message;
  if (s.building) {
    const std::string what = "Making a stick of " + s.buildingWhat;
    const std::vector<std::string> lines =
        small_ ? small_->wrap(what, m.w - 8) : std::vector<std::string>{};
    int y = m.y + 14;
    for (std::size_t i = 0; i < lines.size() && i < 2; ++i, y += 15) {
      c.text(small_.get(), lines[i], m.x + 4, y, kInk);
    }
    const Rect bar{m.x + 4, y, m.w - 8, 12};
    c.fillRoundRect(bar, 6, kTrack);
    const int done = static_cast<int>(std::lround(std::clamp(s.progress, 0.0, 1.0) * bar.w));
    if (done > 0) c.fillRoundRect({bar.x, bar.y, std::max(done, bar.h), bar.h}, 6, kBar);
    return;
  }
  if (!s.message.empty()) {
    const std::vector<std::string> lines =
        small_ ? small_->wrap(s.message, m.w - 8) : std::vector<std::string>{};
    const int shown = std::min<int>(static_cast<int>(lines.size()), (m.h - 4) / 15);
    c.fillRoundRect({m.x, m.y, m.w, shown * 15 + 8}, 8, s.messageIsTrouble ? 0xFFF4F2 : 0xFFFBEF);
    int y = m.y + 15;
    for (int i = 0; i < shown; ++i, y += 15) {
      c.text(small_.get(), lines[static_cast<std::size_t>(i)], m.x + 4, y,
             s.messageIsTrouble ? kTrouble : kInk);
    }
  } else {
    const std::vector<std::string> lines =
        small_ ? small_->wrap("Drop a music folder or a stick image on the window.", m.w - 8)
               : std::vector<std::string>{};
    int y = m.y + 15;
    for (std::size_t i = 0; i < lines.size() && i < 2; ++i, y += 15) {
      c.text(small_.get(), lines[i], m.midX(), y, kInkSoft, 0);
    }
  }
}

void Face::draw(const FaceState& s, Canvas& c) {
  if (!background_) {
    background_ = std::make_unique<Canvas>(l_.width, l_.height);
    drawStatic(*background_);
  }
  c = *background_;
  if (s.boardOn && s.picture != nullptr) {
    c.panel(l_.panel.x, l_.panel.y, s.picture, kPanelW, kPanelH, l_.scale, s.backlight);
  } else {
    c.fillRect(l_.panel, 0x000000);
  }
  drawLeds(s, c);
  drawKnob(s, c);
  drawKeys(s, c);
  drawMono(s, c);
  drawLight(s, c);
  drawStick(s, c);
}

}  // namespace simwin
