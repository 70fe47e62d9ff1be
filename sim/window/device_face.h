// The device as the window shows it: the drawing of every part (layout.h says where each
// sits) from what the board and the person have made of it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "canvas.h"
#include "layout.h"

namespace simwin {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Everything the face shows.
struct FaceState {
  bool boardOn = false;
  const std::uint8_t* picture = nullptr;  // 272 x 480 RGB as the child sees it
  int backlight = 1000;                   // per mille
  std::array<Rgb, 3> leds{};
  int knob = 0;  // detents turned since the window opened
  bool parentsDown = false, powerDown = false;
  bool mono = false;
  int light = 800;
  std::string stick;  // the name of the stick in the slot; empty: none
  bool building = false;
  double progress = 0;       // 0..1 while building
  std::string buildingWhat;  // the folder being made into a stick
  std::string message;       // the stick's latest message; empty: none
  bool messageIsTrouble = false;
  Part pressed = Part::None;  // a button held with the mouse

  bool operator==(const FaceState&) const = default;
};

// Draws the whole window.
class Face {
 public:
  explicit Face(const Layout& layout);
  ~Face();
  // Fonts are looked for in `fontDir` (DejaVu Sans); without them the face has no words.
  void loadFonts(const std::string& fontDir);
  void draw(const FaceState& state, Canvas& canvas);

 private:
  void drawStatic(Canvas& c);
  void drawLeds(const FaceState& s, Canvas& c);
  void drawKnob(const FaceState& s, Canvas& c);
  void drawKeys(const FaceState& s, Canvas& c);
  void drawMono(const FaceState& s, Canvas& c);
  void drawLight(const FaceState& s, Canvas& c);
  void drawStick(const FaceState& s, Canvas& c);
  void drawButton(Canvas& c, const Rect& r, const std::string& label, bool pressed);

  Layout l_;
  std::unique_ptr<Font> label_, small_, bold_;
  std::unique_ptr<Canvas> background_;  // the parts that never change
};

}  // namespace simwin
