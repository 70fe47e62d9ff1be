/* Graphics framework: the basic types — rectangles, colours, alignment, text direction, and
 * the placement of asset tables in the board's memory-mapped flash. */
#ifndef TOUCHGFX_HAL_TYPES_HPP
#define TOUCHGFX_HAL_TYPES_HPP

#include <stdint.h>

/* Asset tables are read in place from the quad-SPI flash: the generated tables name the
 * section they belong to (ExtFlashSection, FontFlashSection, TextFlashSection). They are
 * aligned to 4 bytes, or to a pointer's size where that is more (a 64-bit host), so that the
 * tables of pointers among them are never misaligned. */
#define LOCATION_ATTRIBUTE(name) \
  __attribute__((section(name))) __attribute__((aligned(sizeof(void*) > 4 ? sizeof(void*) : 4)))

namespace touchgfx {

/* A pixel colour as the frame buffer holds it: 0x00RRGGBB for the 24-bit RGB888 display. */
typedef uint32_t colortype;

/* Widget and screen coordinates, in pixels of the portrait layout. */
class Rect {
 public:
  Rect() : x(0), y(0), width(0), height(0) {}
  Rect(int16_t x_, int16_t y_, int16_t w, int16_t h) : x(x_), y(y_), width(w), height(h) {}

  int16_t right() const { return static_cast<int16_t>(x + width); }
  int16_t bottom() const { return static_cast<int16_t>(y + height); }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  bool intersect(int16_t px, int16_t py) const {
    return px >= x && px < right() && py >= y && py < bottom();
  }
  bool intersect(const Rect& o) const {
    return !(isEmpty() || o.isEmpty() || o.x >= right() || o.right() <= x || o.y >= bottom() ||
             o.bottom() <= y);
  }
  bool includes(const Rect& o) const {
    return o.isEmpty() || (o.x >= x && o.y >= y && o.right() <= right() && o.bottom() <= bottom());
  }
  /* The part of this rectangle inside `o` (empty when they do not overlap). */
  Rect operator&(const Rect& o) const {
    if (!intersect(o)) return Rect();
    const int16_t nx = x > o.x ? x : o.x;
    const int16_t ny = y > o.y ? y : o.y;
    const int16_t nr = right() < o.right() ? right() : o.right();
    const int16_t nb = bottom() < o.bottom() ? bottom() : o.bottom();
    return Rect(nx, ny, static_cast<int16_t>(nr - nx), static_cast<int16_t>(nb - ny));
  }
  void operator&=(const Rect& o) { *this = *this & o; }
  /* The smallest rectangle holding both. */
  void expandToFit(const Rect& o) {
    if (o.isEmpty()) return;
    if (isEmpty()) {
      *this = o;
      return;
    }
    const int16_t nx = x < o.x ? x : o.x;
    const int16_t ny = y < o.y ? y : o.y;
    const int16_t nr = right() > o.right() ? right() : o.right();
    const int16_t nb = bottom() > o.bottom() ? bottom() : o.bottom();
    *this = Rect(nx, ny, static_cast<int16_t>(nr - nx), static_cast<int16_t>(nb - ny));
  }
  bool operator==(const Rect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }

  int16_t x, y, width, height;
};

enum Alignment : uint8_t { LEFT, CENTER, RIGHT };
enum TextDirection : uint8_t { TEXT_DIRECTION_LTR, TEXT_DIRECTION_RTL };

typedef uint16_t FontId;
typedef uint16_t TypedTextId;
typedef uint16_t LanguageId;
typedef uint16_t BitmapId;

static const BitmapId BITMAP_INVALID = 0xFFFFU;
static const TypedTextId TYPED_TEXT_INVALID = 0xFFFFU;

}  // namespace touchgfx

#endif
