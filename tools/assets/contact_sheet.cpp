// shapeplay-contact-sheet OUT.png: one picture of every converted asset for a person to look
// over: each bitmap on a checkerboard (which shows its transparency) with its id below,
// then each font's characters and each text in its font, with the font's line box (top,
// base line) marked. Everything is drawn here, pixel by pixel, from the generated tables
// the firmware is built with: the bitmap table's pixels and the fonts' 4-bit glyphs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BitmapDatabase.hpp"
#include "fonts/ApplicationFontProvider.hpp"
#include "outputs.h"
#include "png_io.h"
#include "texts/TextKeysAndLanguages.hpp"
#include "texts/TypedTextDatabase.hpp"
#include "touchgfx/Texts.hpp"

namespace {

constexpr int kWidth = 1180;
constexpr int kMargin = 12;
constexpr int kGap = 14;

struct Colour {
  int r, g, b;
};

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), rgb_(static_cast<std::size_t>(w) * h * 3, 0xFF) {}
  int width() const { return w_; }
  // Blends `c` over the pixel with opacity alpha/255.
  void blend(int x, int y, Colour c, int alpha) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || alpha <= 0) return;
    std::uint8_t* p = &rgb_[(static_cast<std::size_t>(y) * w_ + x) * 3];
    const int cs[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i)
      p[i] = static_cast<std::uint8_t>((cs[i] * alpha + p[i] * (255 - alpha) + 127) / 255);
  }
  void fill(int x, int y, int w, int h, Colour c) {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) blend(i, j, c, 255);
    }
  }
  // The used height (up to `bottom`) as a PNG.
  std::vector<std::uint8_t> png(int bottom) const {
    std::vector<std::uint8_t> rows(rgb_.begin(), rgb_.begin() + static_cast<long>(w_) * bottom * 3);
    std::vector<std::uint8_t> out;
    const std::string e = assets::encodePngRgb(static_cast<std::uint32_t>(w_),
                                               static_cast<std::uint32_t>(bottom), rows, &out);
    if (!e.empty()) std::fprintf(stderr, "shapeplay-contact-sheet: %s\n", e.c_str());
    return out;
  }

 private:
  int w_, h_;
  std::vector<std::uint8_t> rgb_;
};

// Digits of 3 x 5 dots (bit 2 is the left column), drawn at twice their size, for the ids.
const std::uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

void drawNumber(Canvas& c, int x, int y, unsigned n, Colour colour) {
  const std::string s = std::to_string(n);
  for (char ch : s) {
    const std::uint8_t* d = kDigits[ch - '0'];
    for (int row = 0; row < 5; ++row) {
      for (int col = 0; col < 3; ++col) {
        if ((d[row] >> (2 - col)) & 1) c.fill(x + col * 2, y + row * 2, 2, 2, colour);
      }
    }
    x += 8;
  }
}

void drawBitmap(Canvas& c, const touchgfx::Bitmap::BitmapData& b, int x0, int y0) {
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      const bool dark = ((x / 8) + (y / 8)) % 2 != 0;
      c.fill(x0 + x, y0 + y, 1, 1, dark ? Colour{0xD4, 0xD4, 0xD4} : Colour{0xFF, 0xFF, 0xFF});
      const std::size_t i = static_cast<std::size_t>(y) * b.width + x;
      if (b.format == touchgfx::Bitmap::RGB565) {
        const unsigned v = b.data[i * 2] | (b.data[i * 2 + 1] << 8);
        const Colour px{static_cast<int>(((v >> 11) & 31) * 255 / 31),
                        static_cast<int>(((v >> 5) & 63) * 255 / 63),
                        static_cast<int>((v & 31) * 255 / 31)};
        c.blend(x0 + x, y0 + y, px, 255);
      } else {
        const std::uint8_t* p = &b.data[i * 4];
        c.blend(x0 + x, y0 + y, Colour{p[2], p[1], p[0]}, p[3]);
      }
    }
  }
}

// Draws a text in a font, line by line from `top`; returns the height used.
int drawText(Canvas& c, const touchgfx::Font& font, const touchgfx::Unicode::UnicodeChar* text,
             int x0, int top, Colour colour, bool markLines) {
  const int height = font.getFontHeight();
  int lineTop = top;
  const touchgfx::Unicode::UnicodeChar* p = text;
  for (;;) {
    if (markLines) {
      const int baseline = lineTop + height - font.getPixelsBelowBaseline();
      for (int x = x0 - 4; x < x0 + 300; x += 2) {
        c.blend(x, lineTop, Colour{0x60, 0xA0, 0xE0}, 110);
        c.blend(x, baseline, Colour{0xE0, 0x60, 0x60}, 110);
      }
    }
    const int baseline = lineTop + height - font.getPixelsBelowBaseline();
    int pen = x0;
    touchgfx::Unicode::UnicodeChar prev = 0;
    for (; *p != 0 && *p != '\n'; ++p) {
      const touchgfx::GlyphNode* g = font.getGlyph(*p);
      if (g == nullptr) continue;
      if (prev != 0) pen += font.getKerning(prev, g);
      const std::uint8_t* px = font.getPixelData(g);
      const int stride = (g->width + 1) / 2;
      for (int y = 0; y < g->height; ++y) {
        for (int x = 0; x < g->width; ++x) {
          const std::uint8_t byte = px[y * stride + x / 2];
          const int level = (x % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
          c.blend(pen + g->left + x, baseline - g->top + y, colour, level * 17);
        }
      }
      pen += g->advance;
      prev = g->unicode;
    }
    lineTop += height;
    if (*p == 0) break;
    ++p;
  }
  return lineTop - top;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shapeplay-contact-sheet OUT.png\n");
    return 2;
  }
  Canvas c(kWidth, 4000);
  c.fill(0, 0, kWidth, 4000, Colour{0xF4, 0xF4, 0xF4});

  // The bitmaps, in id order, packed in rows.
  const touchgfx::Bitmap::BitmapData* table = BitmapDatabase::getInstance();
  int x = kMargin, y = kMargin, rowHeight = 0;
  for (uint16_t id = 0; id < BitmapDatabase::getInstanceSize(); ++id) {
    const touchgfx::Bitmap::BitmapData& b = table[id];
    if (x + b.width > kWidth - kMargin) {
      x = kMargin;
      y += rowHeight + kGap;
      rowHeight = 0;
    }
    drawBitmap(c, b, x, y);
    drawNumber(c, x, y + b.height + 3, id, Colour{0x30, 0x30, 0x30});
    x += std::max<int>(b.width, 24) + kGap;
    rowHeight = std::max<int>(rowHeight, b.height + 14);
  }
  y += rowHeight + 2 * kGap;

  // Each font's characters, in order.
  touchgfx::Texts::setLanguage(GB);
  const touchgfx::Font** fonts = TypedTextDatabase::getFonts();
  ApplicationFontProvider provider;
  for (touchgfx::FontId f = 0; provider.getFont(f) != nullptr; ++f) {
    const touchgfx::Font& font = *provider.getFont(f);
    std::vector<touchgfx::Unicode::UnicodeChar> chars;
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
      const touchgfx::GlyphNode* g = font.getGlyph(static_cast<touchgfx::Unicode::UnicodeChar>(u));
      if (g != nullptr && g->unicode == u)
        chars.push_back(static_cast<touchgfx::Unicode::UnicodeChar>(u));
    }
    chars.push_back(0);
    drawNumber(c, kMargin, y + 4, f, Colour{0x90, 0x30, 0x30});
    y += drawText(c, font, chars.data(), kMargin + 40, y, Colour{0, 0, 0}, true) + kGap;
  }
  y += kGap;

  // Each text in its font: black on white, and the credits also as the about screen shows
  // them (black on its purple, 272 pixels wide, from x = 7).
  const touchgfx::TypedText::TypedTextData* typed = TypedTextDatabase::getInstance(GB);
  const touchgfx::Texts texts;
  int aboutTop = y;
  for (uint16_t id = 0; id < NUMBER_OF_TEXT_KEYS; ++id) {
    const touchgfx::Font& font = *fonts[typed[id].fontIdx];
    drawNumber(c, kMargin, y + 4, id, Colour{0x30, 0x30, 0x90});
    y += drawText(c, font, texts.getText(id), kMargin + 40, y, Colour{0, 0, 0}, true) + kGap / 2;
  }
  const int panelX = kWidth - kMargin - 272;
  for (uint16_t id = 0; id < NUMBER_OF_TEXT_KEYS; ++id) {
    const touchgfx::Font& font = *fonts[typed[id].fontIdx];
    if (font.getFontHeight() != 18) continue;
    const touchgfx::Unicode::UnicodeChar* text = texts.getText(id);
    int lines = 1;
    for (const touchgfx::Unicode::UnicodeChar* p = text; *p != 0; ++p) lines += *p == '\n';
    c.fill(panelX, aboutTop, 272, 28 + lines * font.getFontHeight() + 16, Colour{118, 36, 118});
    drawText(c, font, text, panelX + 7, aboutTop + 28, Colour{0, 0, 0}, false);
    aboutTop += 28 + lines * font.getFontHeight() + 16 + kGap;
  }
  y = std::max(y, aboutTop) + kMargin;

  assets::OutputFiles out;
  out.add(argv[1], c.png(y));
  const std::string e = out.commit();
  if (!e.empty()) {
    std::fprintf(stderr, "shapeplay-contact-sheet: %s\n", e.c_str());
    return 1;
  }
  return 0;
}
