// Bitmaps: the static table from flash and the dynamic bitmaps made at run time in the cache
// the application hands over. A dynamic bitmap takes the lowest free stretch of the cache
// that holds its pixels (rows without padding; every stretch starts on 4 bytes); its id
// follows the static ones. Deleting one frees its stretch and its id.
#include "touchgfx/Bitmap.hpp"

#include <cstdint>

namespace touchgfx {

namespace {

constexpr uint32_t kMaxDynamic = 32;

struct Dynamic {
  bool live;
  uint16_t width;
  uint16_t height;
  Bitmap::BitmapFormat format;
  uint32_t offset;  // bytes from the start of the cache
  uint32_t size;    // bytes taken, rounded up to 4
};

const Bitmap::BitmapData* table = nullptr;
uint16_t tableSize = 0;
uint8_t* cacheBytes = nullptr;
uint32_t cacheBytesSize = 0;
uint32_t dynamicLimit = 0;
Dynamic dynamics[kMaxDynamic];

uint32_t bytesPerPixel(Bitmap::BitmapFormat format) {
  switch (format) {
    case Bitmap::RGB565: return 2;
    case Bitmap::RGB888: return 3;
    case Bitmap::ARGB8888: return 4;
  }
  return 0;
}

const Dynamic* dynamicOf(BitmapId id) {
  if (id == BITMAP_INVALID || id < tableSize) return nullptr;
  const uint32_t slot = static_cast<uint32_t>(id - tableSize);
  if (slot >= dynamicLimit || !dynamics[slot].live) return nullptr;
  return &dynamics[slot];
}

const Bitmap::BitmapData* staticOf(BitmapId id) {
  if (table == nullptr || id >= tableSize) return nullptr;
  return &table[id];
}

// The lowest offset where `size` bytes are free, or the cache size when there is none.
uint32_t findRoom(uint32_t size) {
  uint32_t candidate = 0;
  for (;;) {
    bool moved = false;
    for (uint32_t i = 0; i < dynamicLimit; ++i) {
      const Dynamic& d = dynamics[i];
      if (d.live && candidate < d.offset + d.size && d.offset < candidate + size) {
        candidate = d.offset + d.size;
        moved = true;
      }
    }
    if (!moved) break;
  }
  return candidate + size <= cacheBytesSize ? candidate : cacheBytesSize;
}

}  // namespace

void Bitmap::registerBitmapDatabase(const BitmapData* data, uint16_t n, uint16_t* cache,
                                    uint32_t cacheSize, uint32_t numberOfDynamicBitmaps) {
  table = data;
  tableSize = data != nullptr ? n : 0;
  cacheBytes = reinterpret_cast<uint8_t*>(cache);
  cacheBytesSize = cache != nullptr ? cacheSize : 0;
  dynamicLimit = numberOfDynamicBitmaps < kMaxDynamic ? numberOfDynamicBitmaps : kMaxDynamic;
  // Dynamic ids must stay below BITMAP_INVALID.
  if (tableSize + dynamicLimit > BITMAP_INVALID) dynamicLimit = BITMAP_INVALID - tableSize;
  for (Dynamic& d : dynamics) d = Dynamic{};
}

BitmapId Bitmap::dynamicBitmapCreate(uint16_t width, uint16_t height, BitmapFormat format) {
  const uint32_t bpp = bytesPerPixel(format);
  if (bpp == 0 || width == 0 || height == 0 || cacheBytes == nullptr) return BITMAP_INVALID;
  const uint64_t bytes = static_cast<uint64_t>(width) * height * bpp;
  const uint64_t rounded = (bytes + 3) / 4 * 4;
  if (rounded > cacheBytesSize) return BITMAP_INVALID;
  uint32_t slot = 0;
  while (slot < dynamicLimit && dynamics[slot].live) ++slot;
  if (slot >= dynamicLimit) return BITMAP_INVALID;
  const auto size = static_cast<uint32_t>(rounded);
  const uint32_t offset = findRoom(size);
  if (offset >= cacheBytesSize) return BITMAP_INVALID;
  dynamics[slot] = Dynamic{true, width, height, format, offset, size};
  return static_cast<BitmapId>(tableSize + slot);
}

bool Bitmap::dynamicBitmapDelete(BitmapId id) {
  const Dynamic* d = dynamicOf(id);
  if (d == nullptr) return false;
  dynamics[id - tableSize].live = false;
  return true;
}

uint8_t* Bitmap::dynamicBitmapGetAddress(BitmapId id) {
  const Dynamic* d = dynamicOf(id);
  return d != nullptr ? cacheBytes + d->offset : nullptr;
}

const uint8_t* Bitmap::getData() const {
  if (const Dynamic* d = dynamicOf(bitmapId)) return cacheBytes + d->offset;
  if (const BitmapData* s = staticOf(bitmapId)) return s->data;
  return nullptr;
}

Bitmap::BitmapFormat Bitmap::getFormat() const {
  if (const Dynamic* d = dynamicOf(bitmapId)) return d->format;
  if (const BitmapData* s = staticOf(bitmapId)) return static_cast<BitmapFormat>(s->format);
  return RGB565;
}

uint16_t Bitmap::getWidth() const {
  if (const Dynamic* d = dynamicOf(bitmapId)) return d->width;
  if (const BitmapData* s = staticOf(bitmapId)) return s->width;
  return 0;
}

uint16_t Bitmap::getHeight() const {
  if (const Dynamic* d = dynamicOf(bitmapId)) return d->height;
  if (const BitmapData* s = staticOf(bitmapId)) return s->height;
  return 0;
}

Rect Bitmap::getSolidRect() const {
  if (const Dynamic* d = dynamicOf(bitmapId)) {
    // Pixels without alpha cover everything; those with alpha are not known to.
    if (d->format == ARGB8888) return Rect();
    return Rect(0, 0, static_cast<int16_t>(d->width), static_cast<int16_t>(d->height));
  }
  if (const BitmapData* s = staticOf(bitmapId)) {
    // A table's rectangle never reaches beyond its bitmap.
    return Rect(static_cast<int16_t>(s->solidRect_x), static_cast<int16_t>(s->solidRect_y),
                static_cast<int16_t>(s->solidRect_width),
                static_cast<int16_t>(s->solidRect_height)) &
           Rect(0, 0, static_cast<int16_t>(s->width), static_cast<int16_t>(s->height));
  }
  return Rect();
}

bool Bitmap::hasTransparentPixels() const {
  if (getFormat() != ARGB8888) return false;
  return getSolidRect() != getRect();
}

}  // namespace touchgfx
