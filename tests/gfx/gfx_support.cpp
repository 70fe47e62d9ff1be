#include "gfx_test.h"
#include "simkernel.h"

namespace gfxtest {

namespace {

// 4 bits a pixel, rows on whole bytes, the left pixel in the low nibble.
std::vector<std::uint8_t> pack(int w, int h, int (*level)(int x, int y)) {
  std::vector<std::uint8_t> bytes;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; x += 2) {
      const int lo = level(x, y);
      const int hi = x + 1 < w ? level(x + 1, y) : 0;
      bytes.push_back(static_cast<std::uint8_t>(lo | hi << 4));
    }
  }
  return bytes;
}

}  // namespace

TestFont::TestFont() : touchgfx::Font(12, 3, 4, 0, 0, '?', 0) {
  struct Wanted {
    char c;
    int w, h, top, left, advance;
    int (*level)(int, int);
  };
  const Wanted wanted[] = {
      {'?', 4, 4, 8, 0, 6, [](int x, int y) { return (x + y) % 2 == 0 ? 15 : 0; }},
      {'A', 6, 8, 8, 1, 8, [](int x, int) { return x == 0 ? 8 : 15; }},
      {'B', 1, 8, 8, 0, 3, [](int, int) { return 15; }},
  };
  for (const Wanted& s : wanted) {
    const std::vector<std::uint8_t> bytes = pack(s.w, s.h, s.level);
    glyphs_.push_back({static_cast<std::uint32_t>(data_.size()),
                       static_cast<touchgfx::Unicode::UnicodeChar>(s.c),
                       static_cast<std::uint8_t>(s.w), static_cast<std::uint8_t>(s.h),
                       static_cast<std::int16_t>(s.top), static_cast<std::int8_t>(s.left),
                       static_cast<std::uint8_t>(s.advance), 0, 0});
    data_.insert(data_.end(), bytes.begin(), bytes.end());
  }
}

const touchgfx::GlyphNode* TestFont::getGlyph(touchgfx::Unicode::UnicodeChar unicode) const {
  for (const auto& g : glyphs_) {
    if (g.unicode == unicode) return &g;
  }
  return unicode == fallbackChar ? nullptr : getGlyph(fallbackChar);
}

const std::uint8_t* TestFont::getPixelData(const touchgfx::GlyphNode* glyph) const {
  return data_.data() + glyph->dataOffset;
}

std::int8_t TestFont::getKerning(touchgfx::Unicode::UnicodeChar prev,
                                 const touchgfx::GlyphNode* glyph) const {
  return prev == 'A' && glyph->unicode == 'B' ? -2 : 0;
}

}  // namespace gfxtest

// The kernel's hooks that the firmware provides on the board (the framework's halt for a
// wrongly sized screen slot reaches the kernel).
extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }
