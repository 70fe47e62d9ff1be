#include "gui/common/BMPFileLoader.hpp"

#include <cstdio>

namespace {

// Bytes of the header the loader reads: up to the end of the height field.
constexpr uint32_t HEADER_END = 26;

uint32_t read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool BMPFileLoader::getBMP24DimensionsMem(const uint8_t* data, uint32_t size, uint16_t& width,
                                          uint16_t& height) {
  width = 0;
  height = 0;
  if (data == nullptr || size < HEADER_END) return false;
  width = static_cast<uint16_t>(read32(data + 18));
  height = static_cast<uint16_t>(read32(data + 22));
  return true;
}

bool BMPFileLoader::readBMP24Mem(touchgfx::Bitmap bitmap, const uint8_t* data, uint32_t size) {
  const uint32_t bw = bitmap.getWidth();
  const uint32_t bh = bitmap.getHeight();
  if (bw > MAX_SIDE || bh > MAX_SIDE) {
    puts("wrong picture size\r");
    return false;
  }
  uint8_t* const pixels = touchgfx::Bitmap::dynamicBitmapGetAddress(bitmap.getId());
  const touchgfx::Bitmap::BitmapFormat format = bitmap.getFormat();
  if (pixels == nullptr ||
      (format != touchgfx::Bitmap::RGB565 && format != touchgfx::Bitmap::RGB888 &&
       format != touchgfx::Bitmap::ARGB8888)) {
    puts("Unsupported bitmap format in BMPFileLoader!\r");
    return false;
  }
  if (data == nullptr || size < HEADER_END) {
    puts("picture rows beyond the file\r");
    return false;
  }

  // The header's values in full (32 bits), so that no value can carry a read past the file:
  // the last stored row ends at offset + (H - 1) * rowLength + 3 * W, which must lie within
  // it (worked out by division, which cannot overflow).
  const uint64_t offset = read32(data + 10);
  const uint64_t fileWidth = read32(data + 18);
  const uint64_t fileHeight = read32(data + 22);
  const uint64_t rowBytes = 3 * fileWidth;
  const uint64_t rowLength = rowBytes + (4 - rowBytes % 4) % 4;
  if (fileWidth != 0 && fileHeight != 0) {
    const bool firstRowFits = offset <= size && rowBytes <= size - offset;
    if (!firstRowFits || fileHeight - 1 > (size - offset - rowBytes) / rowLength) {
      puts("picture rows beyond the file\r");
      return false;
    }
  }

  // Within the file the rows fit only when width and height are below 2^16 (a slot holds
  // far less than 3 * 2^16 bytes), so the counts below are small.
  const uint32_t w = static_cast<uint32_t>(fileWidth);
  const uint32_t h = static_cast<uint32_t>(fileHeight);
  for (uint32_t r = 0; r < h; ++r) {
    const uint32_t y = h - 1 - r;
    if (y >= bh) continue;
    const uint8_t* row = data + offset + r * rowLength;
    for (uint32_t x = 0; x < w && x < bw; ++x) {
      const uint8_t* p = row + 3 * x;  // blue, green, red
      const uint32_t at = y * bw + x;
      switch (format) {
        case touchgfx::Bitmap::RGB888:
          pixels[3 * at] = p[0];
          pixels[3 * at + 1] = p[1];
          pixels[3 * at + 2] = p[2];
          break;
        case touchgfx::Bitmap::RGB565: {
          // 5-6-5 from the top bits of red, green and blue, little-endian in memory.
          const uint16_t v =
              static_cast<uint16_t>(((p[2] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[0] >> 3));
          pixels[2 * at] = static_cast<uint8_t>(v);
          pixels[2 * at + 1] = static_cast<uint8_t>(v >> 8);
          break;
        }
        case touchgfx::Bitmap::ARGB8888:
          pixels[4 * at] = p[0];
          pixels[4 * at + 1] = p[1];
          pixels[4 * at + 2] = p[2];
          pixels[4 * at + 3] = 255;
          break;
      }
    }
  }
  return true;
}
