// PNG files in and out of the asset tools: decoding a PNG (any colour type libpng reads) into
// straight-alpha RGBA, and encoding an RGB picture for the contact sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

// The largest picture the tools accept in either direction; the screen is 272 x 480.
constexpr std::uint32_t MAX_PICTURE_SIDE = 4096;

// Pixels row by row from the top, 4 bytes each: red, green, blue, alpha (not premultiplied).
struct Rgba {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;

  const std::uint8_t* at(std::uint32_t x, std::uint32_t y) const {
    return &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
  }
};

// Decodes the PNG file held in `data`. Returns "" or why it is not a picture the tools take
// (not a PNG, damaged, empty, or larger than MAX_PICTURE_SIDE on a side).
std::string decodePng(const std::uint8_t* data, std::size_t size, Rgba* out);

// Encodes an RGB picture (3 bytes a pixel, rows from the top) as a PNG file in memory.
std::string encodePngRgb(std::uint32_t width, std::uint32_t height,
                         const std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>* out);

}  // namespace assets
