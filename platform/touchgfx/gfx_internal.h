// Inside the graphics framework: the canvas the widgets draw into, the animation storage,
// and the pixel arithmetic shared by the drawing operations.
#pragma once

#include <cstdint>

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx::internal {

constexpr int kWidth = 272;
constexpr int kHeight = 480;
constexpr int kBpp = 3;  // bytes a pixel, memory order blue, green, red
constexpr int kStride = kWidth * kBpp;

// The layout as drawn: every drawing operation writes here.
std::uint8_t* canvas();
// The snapshot of the canvas a slide transition shows.
std::uint8_t* animationStorage();
// An area of the canvas was drawn (absolute, clipped to the display).
void canvasDrawn(const Rect& area);
// The display's rectangle.
inline Rect screenRect() { return Rect(0, 0, kWidth, kHeight); }

// a/255 of `src` over `dst`, rounded.
inline std::uint8_t blend(std::uint8_t dst, std::uint8_t src, unsigned a) {
  return static_cast<std::uint8_t>((src * a + dst * (255U - a) + 127U) / 255U);
}
inline unsigned mulAlpha(unsigned a, unsigned b) { return (a * b + 127U) / 255U; }

// Puts one pixel (r, g, b) with alpha `a` over canvas pixel `p`.
inline void putPixel(std::uint8_t* p, std::uint8_t r, std::uint8_t g, std::uint8_t b, unsigned a) {
  if (a >= 255U) {
    p[0] = b;
    p[1] = g;
    p[2] = r;
  } else if (a != 0) {
    p[0] = blend(p[0], b, a);
    p[1] = blend(p[1], g, a);
    p[2] = blend(p[2], r, a);
  }
}

// Pixel (x, y) of a bitmap's data as red, green, blue and alpha.
inline void readPixel(const std::uint8_t* data, Bitmap::BitmapFormat format, int width, int x,
                      int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, std::uint8_t& a) {
  const long i = static_cast<long>(y) * width + x;
  switch (format) {
    case Bitmap::RGB565: {
      const unsigned v = data[2 * i] | (static_cast<unsigned>(data[2 * i + 1]) << 8);
      const unsigned r5 = (v >> 11) & 31U, g6 = (v >> 5) & 63U, b5 = v & 31U;
      r = static_cast<std::uint8_t>((r5 << 3) | (r5 >> 2));
      g = static_cast<std::uint8_t>((g6 << 2) | (g6 >> 4));
      b = static_cast<std::uint8_t>((b5 << 3) | (b5 >> 2));
      a = 255;
      return;
    }
    case Bitmap::RGB888:
      b = data[3 * i];
      g = data[3 * i + 1];
      r = data[3 * i + 2];
      a = 255;
      return;
    case Bitmap::ARGB8888:
    default:
      b = data[4 * i];
      g = data[4 * i + 1];
      r = data[4 * i + 2];
      a = data[4 * i + 3];
      return;
  }
}

}  // namespace touchgfx::internal
