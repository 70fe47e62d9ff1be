// Turns a folder's title picture, a 24-bit BMP file held whole in a picture slot, into the
// pixels of a dynamic bitmap.
//
// Read from the file (little-endian): the offset of the pixel data (32 bits at byte 10), the
// width and the height (32 bits each at bytes 18 and 22). Rows are stored bottom-up, 3 bytes a
// pixel (blue, green, red), each row filled up to a multiple of 4 bytes. The signature, the
// bit depth and the compression are not looked at: every file is read as uncompressed 24-bit.
//
// Every read stays within the `size` bytes the caller hands over, whatever the header says.
#pragma once

#include <cstdint>

#include "touchgfx/Bitmap.hpp"

class BMPFileLoader {
 public:
  // The largest picture shown, in either direction.
  static const uint16_t MAX_SIDE = 128;

  // The low 16 bits of the width and height fields. False (and 0 x 0) when the `size` bytes
  // at `data` end before the fields do.
  static bool getBMP24DimensionsMem(const uint8_t* data, uint32_t size, uint16_t& width,
                                    uint16_t& height);

  // Fills the dynamic bitmap `bitmap` from the file of `size` bytes at `data`: stored row r
  // becomes bitmap row height - 1 - r, so the picture stands upright; pixels outside the
  // bitmap are skipped. Writes nothing and returns false, saying why on the console, when
  //   - the bitmap is wider or taller than MAX_SIDE: "wrong picture size\r";
  //   - the header or the rows it describes do not lie within the file's bytes:
  //     "picture rows beyond the file\r";
  //   - the bitmap is not a dynamic one in a format this loader writes (RGB565, RGB888,
  //     ARGB8888): "Unsupported bitmap format in BMPFileLoader!\r".
  static bool readBMP24Mem(touchgfx::Bitmap bitmap, const uint8_t* data, uint32_t size);
};
