// The window's picture, drawn in memory: filled shapes with soft (anti-aliased) edges, text,
// and the panel's picture copied in pixel for pixel. The window hands the finished picture to
// SDL in one piece; tests draw it without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "layout.h"

namespace simwin {

// 0xRRGGBB.
using Colour = std::uint32_t;

Colour mix(Colour a, Colour b, double t);  // a at t = 0, b at t = 1

class Font;

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return w_; }
  int height() const { return h_; }
  // Pixels as 0x00RRGGBB, rows from the top.
  const std::uint32_t* pixels() const { return px_.data(); }
  std::uint32_t at(int x, int y) const { return px_[static_cast<std::size_t>(y) * w_ + x]; }

  void clear(Colour c);
  void fillRect(const Rect& r, Colour c);
  // A rectangle with rounded corners of radius `radius`, edges blended `alpha` (0..1) over
  // what is there.
  void fillRoundRect(const Rect& r, double radius, Colour c, double alpha = 1.0);
  void fillCircle(double cx, double cy, double radius, Colour c, double alpha = 1.0);
  // A ring between two radii.
  void fillRing(double cx, double cy, double inner, double outer, Colour c, double alpha = 1.0);
  // A thick line with round ends.
  void line(double x0, double y0, double x1, double y1, double width, Colour c);
  // A vertical light-to-dark shade inside a rounded rectangle.
  void shadeRoundRect(const Rect& r, double radius, Colour top, Colour bottom);

  // The panel's picture (rgb: 3 bytes a pixel, rows from the top) scaled up `scale` times by
  // repeating pixels, each channel dimmed to `duty` per mille as the backlight does.
  void panel(int x, int y, const std::uint8_t* rgb, int width, int height, int scale, int duty);

  // Text on a base line at (x, baseline); align -1 left, 0 centred, 1 right of x. Returns the
  // text's width. Without a font nothing is drawn.
  int text(const Font* font, const std::string& utf8, int x, int baseline, Colour c,
           int align = -1);

 private:
  // Blends c over the pixel with coverage a (0..1).
  void blend(int x, int y, Colour c, double a);
  // Fills with coverage from a signed distance (negative inside), 1-pixel soft edge.
  template <class Distance>
  void fillByDistance(int x0, int y0, int x1, int y1, Colour c, double alpha, Distance d);

  int w_, h_;
  std::vector<std::uint32_t> px_;
};

// A TrueType face at one pixel size (FreeType). Glyphs are rasterised once and kept.
class Font {
 public:
  // Null when the face cannot be read.
  static std::unique_ptr<Font> load(const std::string& path, int pixelSize);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  int width(const std::string& utf8) const;
  int ascent() const { return ascent_; }
  int lineHeight() const { return lineHeight_; }
  // The longest start of `utf8` (whole words while they fit, else cut with "...") that is at
  // most `maxWidth` wide.
  std::string fit(const std::string& utf8, int maxWidth) const;
  // `utf8` broken into lines at most `maxWidth` wide, at spaces where it can.
  std::vector<std::string> wrap(const std::string& utf8, int maxWidth) const;

  struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<std::uint8_t> coverage;
  };
  const Glyph& glyph(char32_t c) const;

 private:
  Font() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int ascent_ = 0, lineHeight_ = 0;
};

// The code points of a UTF-8 string (bad bytes become U+FFFD).
std::u32string decodeUtf8(const std::string& s);

}  // namespace simwin
