// 24-bit BMP files written by the tests: the usual 54-byte header (file header and a 40-byte
// info header), rows bottom-up, blue-green-red, each row filled with zeros to 4 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bmpfiles {

// A picture's colour at (x, y), rows from the top, as 0xRRGGBB.
using Colours = std::function<std::uint32_t(int x, int y)>;

inline void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

inline std::string bmp24(int width, int height, const Colours& colour) {
  const int rowLength = (3 * width + 3) / 4 * 4;
  std::string b(54 + static_cast<std::size_t>(rowLength) * height, '\0');
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<std::uint32_t>(b.size()));
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, static_cast<std::uint32_t>(width));
  put32(b, 22, static_cast<std::uint32_t>(height));
  b[26] = 1;
  b[28] = 24;
  put32(b, 34, static_cast<std::uint32_t>(rowLength) * height);
  for (int r = 0; r < height; ++r) {
    const int y = height - 1 - r;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      const std::size_t at = 54 + static_cast<std::size_t>(r) * rowLength + 3 * x;
      b[at] = static_cast<char>(c);
      b[at + 1] = static_cast<char>(c >> 8);
      b[at + 2] = static_cast<char>(c >> 16);
    }
  }
  return b;
}

// A picture no two neighbouring pixels of which share a colour, and whose quarters differ:
// any turn, mirror, shift or wrong row length shows.
inline std::uint32_t pattern(int x, int y) {
  const std::uint32_t quarter = (x < 64 ? 0u : 1u) + (y < 64 ? 0u : 2u);
  const std::uint32_t red = 32 + 56 * quarter;
  const std::uint32_t green = static_cast<std::uint32_t>(x * 7 % 256);
  const std::uint32_t blue = static_cast<std::uint32_t>(y * 13 % 256);
  return red << 16 | green << 8 | blue;
}

}  // namespace bmpfiles
