// The title-picture loader on its own: BMP files decoded into dynamic bitmaps of each format,
// and headers that point outside the file refused without a byte read or written outside.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bmp_files.h"
#include "gui/common/BMPFileLoader.hpp"
#include "touchgfx/Bitmap.hpp"

namespace {

using touchgfx::Bitmap;

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    Bitmap::registerBitmapDatabase(nullptr, 0, reinterpret_cast<uint16_t*>(cache.data()),
                                   static_cast<uint32_t>(cache.size()), 6);
  }
  void TearDown() override { Bitmap::registerBitmapDatabase(nullptr, 0); }

  // A dynamic bitmap filled with 0xAB, to see what the loader wrote.
  Bitmap make(uint16_t w, uint16_t h, Bitmap::BitmapFormat format = Bitmap::RGB888) {
    const touchgfx::BitmapId id = Bitmap::dynamicBitmapCreate(w, h, format);
    EXPECT_NE(id, touchgfx::BITMAP_INVALID);
    std::fill(cache.begin(), cache.end(), 0xAB);
    return Bitmap(id);
  }
  bool untouched() const {
    return std::all_of(cache.begin(), cache.end(), [](uint8_t b) { return b == 0xAB; });
  }
  // Loads `file` (its bytes, nothing after them) and gives what the console said.
  bool load(const Bitmap& b, const std::string& file, std::string* console) {
    const std::vector<uint8_t> bytes(file.begin(), file.end());
    ::testing::internal::CaptureStdout();
    const bool ok =
        BMPFileLoader::readBMP24Mem(b, bytes.data(), static_cast<uint32_t>(bytes.size()));
    *console = ::testing::internal::GetCapturedStdout();
    return ok;
  }

  std::vector<uint8_t> cache = std::vector<uint8_t>(0x81000);
};

std::string patternFile(int w, int h) { return bmpfiles::bmp24(w, h, bmpfiles::pattern); }

// Every pixel where it belongs, for widths whose rows need 0 to 3 fill bytes and every format
// the bitmap may have.
TEST_F(Loader, DecodesEveryPixelUprightWhateverTheRowFill) {
  struct Case {
    int w, h;
    Bitmap::BitmapFormat format;
  } cases[] = {{1, 1, Bitmap::RGB888},   {2, 3, Bitmap::RGB888},     {3, 2, Bitmap::RGB888},
               {30, 30, Bitmap::RGB888}, {100, 100, Bitmap::RGB888}, {128, 128, Bitmap::RGB888},
               {31, 5, Bitmap::RGB565},  {7, 9, Bitmap::ARGB8888}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const Bitmap b = make(static_cast<uint16_t>(c.w), static_cast<uint16_t>(c.h), c.format);
    std::string console;
    ASSERT_TRUE(load(b, patternFile(c.w, c.h), &console));
    EXPECT_EQ(console, "");
    const uint8_t* p = Bitmap::dynamicBitmapGetAddress(b.getId());
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const uint32_t rgb = bmpfiles::pattern(x, y);
        const uint8_t r = rgb >> 16, g = rgb >> 8 & 0xFF, bl = rgb & 0xFF;
        const int i = y * c.w + x;
        if (c.format == Bitmap::RGB888) {
          ASSERT_EQ(p[3 * i] | p[3 * i + 1] << 8 | p[3 * i + 2] << 16, bl | g << 8 | r << 16)
              << x << "," << y;
        } else if (c.format == Bitmap::RGB565) {
          ASSERT_EQ(p[2 * i] | p[2 * i + 1] << 8, (r >> 3) << 11 | (g >> 2) << 5 | bl >> 3);
        } else {
          ASSERT_EQ(p[4 * i] | p[4 * i + 1] << 8 | p[4 * i + 2] << 16 | p[4 * i + 3] << 24,
                    static_cast<int>(bl | g << 8 | r << 16 | 0xFFu << 24));
        }
      }
    }
    Bitmap::dynamicBitmapDelete(b.getId());
  }
}

// The header's dimensions as the screens size the bitmap: the low 16 bits; a file too short
// to hold them gives none.
TEST_F(Loader, DimensionsAreTheLow16BitsOfTheHeaderFields) {
  std::string file = patternFile(30, 20);
  bmpfiles::put32(file, 18, 0x0001001E);
  uint16_t w = 1, h = 1;
  EXPECT_TRUE(BMPFileLoader::getBMP24DimensionsMem(reinterpret_cast<const uint8_t*>(file.data()),
                                                   26, w, h));
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 20);
  EXPECT_FALSE(BMPFileLoader::getBMP24DimensionsMem(reinterpret_cast<const uint8_t*>(file.data()),
                                                    25, w, h));
  EXPECT_EQ(w + h, 0);
}

// No header value makes the loader read past the file or write into the bitmap: a bitmap
// above 128 is refused first, then any row that lies outside the file's bytes.
TEST_F(Loader, RefusesWhatDoesNotFitWithoutTouchingTheBitmap) {
  struct Case {
    const char* what;
    uint16_t bw, bh;
    std::size_t at;  // header field changed (0: none)
    uint32_t value;
    std::size_t keep;  // the file's bytes kept (0: all 102)
    const char* said;
  } cases[] = {
      {"200 x 100", 200, 100, 0, 0, 0, "wrong picture size\r\n"},
      {"129 high", 4, 129, 0, 0, 0, "wrong picture size\r\n"},
      {"header cut short", 4, 4, 0, 0, 25, "picture rows beyond the file\r\n"},
      {"last row one byte short", 4, 4, 0, 0, 101, "picture rows beyond the file\r\n"},
      {"offset at the end", 4, 4, 10, 102, 0, "picture rows beyond the file\r\n"},
      {"offset huge", 4, 4, 10, 0xFFFFFFF0, 0, "picture rows beyond the file\r\n"},
      {"height negative", 4, 4, 22, static_cast<uint32_t>(-4), 0,
       "picture rows beyond the file\r\n"},
      {"width above 16 bits", 4, 4, 18, 0x10004, 0, "picture rows beyond the file\r\n"},
      {"both huge", 4, 4, 18, 0xFFFFFFFF, 0, "picture rows beyond the file\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string file = patternFile(4, 4);  // 54 + 4 rows of 12 bytes = 102
    if (c.at != 0) bmpfiles::put32(file, c.at, c.value);
    if (c.at == 18 && c.value == 0xFFFFFFFF) bmpfiles::put32(file, 22, 0xFFFFFFFF);
    if (c.keep != 0) file.resize(c.keep);
    const Bitmap b = make(c.bw, c.bh);
    std::string console;
    EXPECT_FALSE(load(b, file, &console));
    EXPECT_EQ(console, c.said);
    EXPECT_TRUE(untouched());
    Bitmap::dynamicBitmapDelete(b.getId());
  }
}

// The last row needs no fill bytes after it; a header pointing into itself is read as pixels.
TEST_F(Loader, TakesFilesThatEndWithTheLastPixelOrPointIntoTheHeader) {
  std::string file = patternFile(3, 2);  // rows of 9 pixel bytes and 3 fill bytes
  file.resize(file.size() - 3);
  const Bitmap b = make(3, 2);
  std::string console;
  EXPECT_TRUE(load(b, file, &console));
  bmpfiles::put32(file, 10, 0);
  EXPECT_TRUE(load(b, file, &console));
  EXPECT_EQ(Bitmap::dynamicBitmapGetAddress(b.getId())[3 * 3], 'B');  // row 1 begins the file
}

}  // namespace
