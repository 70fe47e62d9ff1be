// The graphics framework in one process, without the simulated kernel: hand-made bitmaps
// and a font, a touch panel and a key source the test drives, an application that shows a
// screen, and the frame buffer read back as colours.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "simgfx.h"
#include "touchgfx/Application.hpp"
#include "touchgfx/Bitmap.hpp"
#include "touchgfx/Font.hpp"
#include "touchgfx/Screen.hpp"
#include "touchgfx/hal/HAL.hpp"

namespace gfxtest {

using touchgfx::colortype;

constexpr int W = simgfx::kWidth;
constexpr int H = simgfx::kHeight;

// Pixel (x, y) of the frame buffer as 0x00RRGGBB (memory order blue, green, red).
inline colortype shown(int x, int y) {
  const std::uint8_t* p = simgfx::frameBuffer() + (y * W + x) * 3;
  return (colortype{p[2]} << 16) | (colortype{p[1]} << 8) | p[0];
}

// The whole frame buffer compared with a picture of the layout, turned by 180 degrees or
// not; the first differing pixel is named.
template <class Layout>
::testing::AssertionResult framesAs(Layout layout, bool turned) {
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const colortype want = turned ? layout(W - 1 - x, H - 1 - y) : layout(x, y);
      if (shown(x, y) != want) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is 0x" << std::hex
                                             << shown(x, y) << ", expected 0x" << want;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Bitmaps made by the test: each entry of the static table owns its pixels.
class BitmapTable {
 public:
  // Adds a bitmap of `format` whose pixel (x, y) is colour(x, y) with alpha alphaOf(x, y);
  // returns its id. The solid rectangle is given.
  template <class Colour, class Alpha>
  touchgfx::BitmapId add(int w, int h, touchgfx::Bitmap::BitmapFormat format, Colour colour,
                         Alpha alphaOf, touchgfx::Rect solid) {
    std::vector<std::uint8_t> px;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const colortype c = colour(x, y);
        const std::uint8_t r = c >> 16, g = c >> 8, b = c;
        if (format == touchgfx::Bitmap::RGB565) {
          const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
          px.push_back(static_cast<std::uint8_t>(v));
          px.push_back(static_cast<std::uint8_t>(v >> 8));
        } else {
          px.insert(px.end(), {b, g, r});
          if (format == touchgfx::Bitmap::ARGB8888) px.push_back(alphaOf(x, y));
        }
      }
    }
    pixels_.push_back(std::move(px));
    wanted_.push_back({w, h, solid, format});
    return static_cast<touchgfx::BitmapId>(wanted_.size() - 1);
  }
  // A bitmap of one opaque colour, solid all over.
  touchgfx::BitmapId addPlain(int w, int h, colortype c) {
    return add(
        w, h, touchgfx::Bitmap::ARGB8888, [c](int, int) { return c; }, [](int, int) { return 255; },
        touchgfx::Rect(0, 0, w, h));
  }

  // Installs the table with a cache of `cacheBytes` for at most `dynamics` dynamic bitmaps.
  void install(std::uint32_t cacheBytes = 0x81000, std::uint32_t dynamics = 6) {
    table_.clear();
    for (std::size_t i = 0; i < wanted_.size(); ++i) {
      const Wanted& s = wanted_[i];
      table_.push_back(
          {pixels_[i].data(), nullptr, static_cast<std::uint16_t>(s.w),
           static_cast<std::uint16_t>(s.h), static_cast<std::uint16_t>(s.solid.x),
           static_cast<std::uint16_t>(s.solid.y), static_cast<std::uint16_t>(s.solid.width),
           static_cast<std::uint16_t>(s.solid.height), static_cast<std::uint8_t>(s.format)});
    }
    cache_.assign(cacheBytes / 2, 0);
    touchgfx::Bitmap::registerBitmapDatabase(table_.data(),
                                             static_cast<std::uint16_t>(table_.size()),
                                             cache_.data(), cacheBytes, dynamics);
  }

 private:
  struct Wanted {
    int w, h;
    touchgfx::Rect solid;
    touchgfx::Bitmap::BitmapFormat format;
  };
  std::vector<std::vector<std::uint8_t>> pixels_;
  std::vector<Wanted> wanted_;
  std::vector<touchgfx::Bitmap::BitmapData> table_;
  std::vector<std::uint16_t> cache_;
};

// A font of a few 4-bit glyphs: 'A' a full block 6 x 8 with a half-strength left column,
// 'B' one full column, '?' a 4 x 4 checker; 'B' after 'A' moves 2 pixels left. Height 12,
// 3 pixels below the base line.
class TestFont : public touchgfx::Font {
 public:
  TestFont();
  const touchgfx::GlyphNode* getGlyph(touchgfx::Unicode::UnicodeChar unicode) const override;
  const std::uint8_t* getPixelData(const touchgfx::GlyphNode* glyph) const override;
  std::int8_t getKerning(touchgfx::Unicode::UnicodeChar prev,
                         const touchgfx::GlyphNode* glyph) const override;

 private:
  std::vector<touchgfx::GlyphNode> glyphs_;
  std::vector<std::uint8_t> data_;
};

// A touch panel and a key source for the frame loop.
class FakeTouch : public touchgfx::TouchController {
 public:
  bool sampleTouch(std::int32_t& x, std::int32_t& y) override {
    x = x_;
    y = y_;
    return down_;
  }
  void press(int x, int y) {
    down_ = true;
    x_ = x;
    y_ = y;
  }
  void release() { down_ = false; }

 private:
  bool down_ = false;
  std::int32_t x_ = 0, y_ = 0;
};

class FakeKeys : public touchgfx::ButtonController {
 public:
  bool sample(std::uint8_t& key) override {
    if (pending_ < 0) return false;
    key = static_cast<std::uint8_t>(pending_);
    pending_ = -1;
    return true;
  }
  void send(int key) { pending_ = key; }

 private:
  int pending_ = -1;
};

// An application that shows one screen the test built.
class ShowApp : public touchgfx::Application {
 public:
  void show(touchgfx::Screen& s) {
    currentScreen = &s;
    invalidate();
  }
};

// Every case starts from a blank framework with the touch panel and keys connected.
class GfxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simgfx::reset();
    touchgfx::Bitmap::registerBitmapDatabase(nullptr, 0);
    simgfx::setTouchController(&touch);
    simgfx::setButtonController(&keys);
  }
  void TearDown() override {
    simgfx::reset();
    touchgfx::Bitmap::registerBitmapDatabase(nullptr, 0);
  }
  // One frame; a tap is a press frame and a release frame.
  void frame() { simgfx::frame(); }
  void tap(int x, int y) {
    touch.press(x, y);
    frame();
    touch.release();
    frame();
  }

  FakeTouch touch;
  FakeKeys keys;
};

}  // namespace gfxtest
