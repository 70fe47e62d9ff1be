// The bitmap table: pictures turned into the frame buffer's formats, their solid rectangles,
// their ids and the generated sources that hold them.
//
// Ids follow the byte order of the names (capitals before small letters). Each bitmap is
// ARGB8888 (4 bytes a pixel in memory order blue, green, red, alpha; straight alpha) unless
// it is asked for as RGB565 (2 bytes a pixel, little-endian 5-6-5, drawn over black where the
// picture is not opaque).
//
// Solid rectangle: the largest rectangle (by area) of fully opaque pixels; among rectangles
// of equal area the one whose bottom edge is highest, then the leftmost. An RGB565 bitmap is
// solid throughout. A picture without an opaque pixel has an empty one (0, 0, 0, 0).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outputs.h"
#include "png_io.h"

namespace assets {

enum class Format : std::uint8_t { RGB565 = 0, ARGB8888 = 2 };

struct SolidRect {
  std::uint16_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const SolidRect&) const = default;
};

struct Bitmap {
  std::string name;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  Format format = Format::ARGB8888;
  SolidRect solid;
  std::vector<std::uint8_t> data;  // the pixels in `format`
};

// The largest fully opaque rectangle of a picture (rule above).
SolidRect largestOpaqueRect(const Rgba& picture);

// Turns a picture into a bitmap of the given format.
Bitmap convertBitmap(const std::string& name, const Rgba& picture, Format format);

// "" when `name` can name a bitmap (letters, digits and '_', starting with a letter, at most
// 128 characters), else why not.
std::string checkBitmapName(const std::string& name);

// The id constant of a name: "BITMAP_" + the name in capitals + "_ID".
std::string idConstant(const std::string& name);

// Adds the generated table to `out`: DIR/BitmapDatabase.hpp, DIR/BitmapDatabase.cpp and the
// pixels in DIR/images/NAME.bin, which the source pulls into ExtFlashSection. `bitmaps` must
// be in id order.
void emitBitmapTable(const std::vector<Bitmap>& bitmaps, const std::string& dir, OutputFiles* out);

}  // namespace assets
