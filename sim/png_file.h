// PNG files of the simulator: the screenshots (RGB, 8 bits a channel), written whole or not at
// all, and read back by tests and tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simpng {

// Writes `rgb` (width x height pixels, rows from the top, red, green, blue) to `path` as a PNG.
// The file appears complete or not at all (it is written beside and renamed into place).
// Returns "" or why it could not be written.
std::string writeRgb(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& rgb);

// Reads a PNG file of any colour type as RGB (alpha, if any, is dropped; the background is not
// blended in). Returns "" or why it is not a picture.
std::string readRgb(const std::string& path, int& width, int& height,
                    std::vector<std::uint8_t>& rgb);

}  // namespace simpng
