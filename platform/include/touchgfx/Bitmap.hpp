/* Graphics framework: bitmaps. The static ones come from the generated table in flash; up to
 * a fixed number of dynamic ones are made at run time in a cache the application provides. */
#ifndef TOUCHGFX_BITMAP_HPP
#define TOUCHGFX_BITMAP_HPP

#include <stdint.h>

#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Bitmap {
 public:
  /* Pixel formats: RGB565 2 bytes a pixel; RGB888 3 bytes in memory order blue, green, red;
   * ARGB8888 4 bytes in memory order blue, green, red, alpha. */
  enum BitmapFormat : uint8_t { RGB565 = 0, RGB888 = 1, ARGB8888 = 2 };

  /* One entry of the generated table. `data` holds width x height pixels, row by row from
   * the top, without padding; the solid rectangle is the largest area of fully opaque
   * pixels the asset tool found (empty when there is none). */
  struct BitmapData {
    const uint8_t* const data;
    const uint8_t* const extraData;  // unused for these formats: null
    const uint16_t width;
    const uint16_t height;
    const uint16_t solidRect_x;
    const uint16_t solidRect_y;
    const uint16_t solidRect_width;
    const uint16_t solidRect_height;
    const uint8_t format;  // a BitmapFormat
  };

  explicit Bitmap(BitmapId id = BITMAP_INVALID) : bitmapId(id) {}

  BitmapId getId() const { return bitmapId; }
  const uint8_t* getData() const;
  BitmapFormat getFormat() const;
  uint16_t getWidth() const;
  uint16_t getHeight() const;
  Rect getRect() const {
    return Rect(0, 0, static_cast<int16_t>(getWidth()), static_cast<int16_t>(getHeight()));
  }
  Rect getSolidRect() const;
  bool hasTransparentPixels() const;

  /* Installs the static table and the dynamic-bitmap cache: `cacheSize` bytes at `cache`,
   * room for at most `numberOfDynamicBitmaps`. */
  static void registerBitmapDatabase(const BitmapData* data, uint16_t n, uint16_t* cache = nullptr,
                                     uint32_t cacheSize = 0, uint32_t numberOfDynamicBitmaps = 0);
  /* BITMAP_INVALID when the cache has no room (bytes or entries). */
  static BitmapId dynamicBitmapCreate(uint16_t width, uint16_t height, BitmapFormat format);
  /* False for an id that is not a live dynamic bitmap (BITMAP_INVALID included). */
  static bool dynamicBitmapDelete(BitmapId id);
  /* The pixels of a dynamic bitmap (null for any other id). */
  static uint8_t* dynamicBitmapGetAddress(BitmapId id);

  bool operator==(const Bitmap& o) const { return bitmapId == o.bitmapId; }
  bool operator!=(const Bitmap& o) const { return bitmapId != o.bitmapId; }

 private:
  BitmapId bitmapId;
};

}  // namespace touchgfx

#endif
