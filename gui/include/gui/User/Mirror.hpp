// The widget every screen but the power-off screen adds last, over the whole screen: the
// panel is mounted turned, so the finished frame is turned by 180 degrees in place.
#pragma once

#include <cstdint>

#include "touchgfx/hal/Types.hpp"
#include "touchgfx/widgets/Widget.hpp"

class Mirror : public touchgfx::Widget {
 public:
  // The widest frame the row buffers hold: the portrait layout's width.
  static const uint16_t DISP_WIDTH = 272;

  // One frame-buffer pixel, 24 bits.
  struct Pixel {
    uint8_t r;
    uint8_t g;
    uint8_t b;
  };

  Mirror() = default;
  ~Mirror() override = default;

  // Covers nothing: the widgets beneath are always drawn first.
  touchgfx::Rect getSolidRect() const override;
  // Turns the whole frame buffer, whatever area was redrawn.
  void draw(const touchgfx::Rect& area) const override;

 private:
  mutable Pixel rowBufferTop[DISP_WIDTH];
  mutable Pixel rowBufferBottom[DISP_WIDTH];
};
