// The drawing operations of the 24-bit display: rectangles, bitmaps and texts, drawn into
// the canvas of the layout.
#include "touchgfx/lcd/LCD.hpp"

#include <cstring>

#include "gfx_internal.h"

namespace touchgfx {

namespace {

using internal::kBpp;
using internal::kStride;

std::uint8_t* pixelAt(int x, int y) { return internal::canvas() + y * kStride + x * kBpp; }

bool knownFormat(uint8_t format) {
  return format == Bitmap::RGB565 || format == Bitmap::RGB888 || format == Bitmap::ARGB8888;
}

constexpr Unicode::UnicodeChar kLineFeed = 10;

// One glyph with its top-left corner at (x, y), clipped to `clip`.
void drawGlyph(const Font* font, const GlyphNode* glyph, int x, int y, const Rect& clip,
               colortype color, uint8_t alpha) {
  const uint8_t bpp = font->getBitsPerPixel();
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
  // Far outside the display (a very long line): nothing of it can show.
  if (x < -16384 || x > 16384 || y < -16384 || y > 16384) return;
  const std::uint8_t* data = font->getPixelData(glyph);
  if (data == nullptr) return;
  const Rect box =
      Rect(static_cast<int16_t>(x), static_cast<int16_t>(y), glyph->width, glyph->height) & clip;
  if (box.isEmpty()) return;
  const unsigned mask = (1U << bpp) - 1U;
  const std::size_t stride = (static_cast<std::size_t>(glyph->width) * bpp + 7) / 8;
  const auto r = static_cast<std::uint8_t>(color >> 16);
  const auto g = static_cast<std::uint8_t>(color >> 8);
  const auto b = static_cast<std::uint8_t>(color);
  for (int py = box.y; py < box.bottom(); ++py) {
    const std::uint8_t* row = data + static_cast<std::size_t>(py - y) * stride;
    std::uint8_t* out = pixelAt(box.x, py);
    for (int px = box.x; px < box.right(); ++px, out += kBpp) {
      const unsigned bit = static_cast<unsigned>(px - x) * bpp;
      const unsigned value = (row[bit / 8] >> (bit % 8)) & mask;
      if (value == 0) continue;
      internal::putPixel(out, r, g, b, internal::mulAlpha(value * 255U / mask, alpha));
    }
  }
}

}  // namespace

void LCD::fillRect(const Rect& rect, colortype color, uint8_t alpha) {
  const Rect r = rect & internal::screenRect();
  if (r.isEmpty() || alpha == 0) return;
  const auto red = static_cast<std::uint8_t>(color >> 16);
  const auto green = static_cast<std::uint8_t>(color >> 8);
  const auto blue = static_cast<std::uint8_t>(color);
  for (int y = r.y; y < r.bottom(); ++y) {
    std::uint8_t* p = pixelAt(r.x, y);
    for (int x = 0; x < r.width; ++x, p += kBpp) internal::putPixel(p, red, green, blue, alpha);
  }
  internal::canvasDrawn(r);
}

void LCD::drawPartialBitmap(const Bitmap& bitmap, int16_t x, int16_t y, const Rect& rect,
                            uint8_t alpha, bool useOptimized) {
  (void)useOptimized;
  const std::uint8_t* data = bitmap.getData();
  const uint8_t format = bitmap.getFormat();
  if (data == nullptr || alpha == 0 || !knownFormat(format)) return;
  const int width = bitmap.getWidth();
  const Rect r = rect &
                 Rect(x, y, static_cast<int16_t>(width), static_cast<int16_t>(bitmap.getHeight())) &
                 internal::screenRect();
  if (r.isEmpty()) return;
  const auto f = static_cast<Bitmap::BitmapFormat>(format);
  for (int py = r.y; py < r.bottom(); ++py) {
    std::uint8_t* out = pixelAt(r.x, py);
    if (f == Bitmap::RGB888 && alpha == 255) {
      // Same byte order as the canvas: the row copies straight.
      std::memcpy(out, data + (static_cast<std::size_t>(py - y) * width + (r.x - x)) * 3,
                  static_cast<std::size_t>(r.width) * kBpp);
      continue;
    }
    if (f == Bitmap::ARGB8888) {
      const std::uint8_t* in = data + (static_cast<std::size_t>(py - y) * width + (r.x - x)) * 4;
      for (int i = 0; i < r.width; ++i, in += 4, out += kBpp) {
        internal::putPixel(out, in[2], in[1], in[0],
                           alpha == 255 ? in[3] : internal::mulAlpha(in[3], alpha));
      }
      continue;
    }
    for (int px = r.x; px < r.right(); ++px, out += kBpp) {
      std::uint8_t red, green, blue, a;
      internal::readPixel(data, f, width, px - x, py - y, red, green, blue, a);
      internal::putPixel(out, red, green, blue, internal::mulAlpha(a, alpha));
    }
  }
  internal::canvasDrawn(r);
}

uint16_t LCD::getLineWidth(const Font* font, const Unicode::UnicodeChar* text) {
  if (font == nullptr || text == nullptr) return 0;
  int width = 0;
  Unicode::UnicodeChar prev = 0;
  for (; *text != 0 && *text != kLineFeed; ++text) {
    const GlyphNode* glyph = font->getGlyph(*text);
    if (glyph == nullptr) continue;
    if (prev != 0) width += font->getKerning(prev, glyph);
    width += glyph->advance;
    prev = glyph->unicode;
  }
  return static_cast<uint16_t>(width < 0 ? 0 : width);
}

uint16_t LCD::getNumberOfLines(const Unicode::UnicodeChar* text) {
  if (text == nullptr || *text == 0) return 0;
  uint16_t lines = 1;
  for (; *text != 0; ++text) {
    if (*text == kLineFeed) ++lines;
  }
  return lines;
}

uint16_t LCD::getTextWidth(const Font* font, const Unicode::UnicodeChar* text) {
  if (text == nullptr) return 0;
  uint16_t widest = 0;
  for (const Unicode::UnicodeChar* line = text;;) {
    const uint16_t w = getLineWidth(font, line);
    if (w > widest) widest = w;
    while (*line != 0 && *line != kLineFeed) ++line;
    if (*line == 0) break;
    ++line;
  }
  return widest;
}

void LCD::drawString(Rect widgetArea, const Rect& invalidatedArea, const StringVisuals& visuals,
                     const Unicode::UnicodeChar* text) {
  const Font* font = visuals.font;
  if (font == nullptr || text == nullptr || visuals.alpha == 0) return;
  Rect clip = invalidatedArea & Rect(0, 0, widgetArea.width, widgetArea.height);
  clip.x = static_cast<int16_t>(clip.x + widgetArea.x);
  clip.y = static_cast<int16_t>(clip.y + widgetArea.y);
  clip = clip & internal::screenRect();
  if (clip.isEmpty()) return;

  const int lineHeight = font->getFontHeight() + visuals.linespace;
  const int baseline = font->getFontHeight() - font->getPixelsBelowBaseline();
  int lineTop = widgetArea.y;
  for (const Unicode::UnicodeChar* line = text;; lineTop += lineHeight) {
    const int width = getLineWidth(font, line);
    int pen = widgetArea.x;
    if (visuals.alignment == CENTER) pen += (widgetArea.width - width) / 2;
    if (visuals.alignment == RIGHT) pen += widgetArea.width - width;
    Unicode::UnicodeChar prev = 0;
    for (; *line != 0 && *line != kLineFeed; ++line) {
      const GlyphNode* glyph = font->getGlyph(*line);
      if (glyph == nullptr) continue;
      if (prev != 0) pen += font->getKerning(prev, glyph);
      drawGlyph(font, glyph, pen + glyph->left, lineTop + baseline - glyph->top, clip,
                visuals.color, visuals.alpha);
      pen += glyph->advance;
      prev = glyph->unicode;
    }
    if (*line == 0 || lineTop > clip.bottom()) break;
    ++line;
  }
  internal::canvasDrawn(clip);
}

}  // namespace touchgfx
