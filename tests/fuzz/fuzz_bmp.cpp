// Feeds arbitrary bytes to the title-picture loader as the screens do: the input is the
// picture slot's content and its length the slot's size (held in a block of exactly that
// size, so that any read past it is caught), the bitmap is sized from its header and made
// in a cache of exactly its own size (plus a guard word checked afterwards). The first
// input byte picks the bitmap's format. A refused picture must leave the bitmap as it was.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gui/common/BMPFileLoader.hpp"
#include "touchgfx/Bitmap.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

const uint32_t CACHE_LIMIT = 0x81000;  // the firmware's dynamic-bitmap cache

}  // namespace

// The loader's console lines (standard output) would only slow the fuzzing down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto format = static_cast<touchgfx::Bitmap::BitmapFormat>(data[0] % 3);
  const std::vector<std::uint8_t> slot(data + 1, data + size);
  const std::uint32_t slotSize = static_cast<std::uint32_t>(slot.size());

  std::uint16_t width = 0, height = 0;
  if (!BMPFileLoader::getBMP24DimensionsMem(slot.data(), slotSize, width, height)) {
    check(width == 0 && height == 0);
    return 0;
  }
  const std::uint32_t bpp = format == touchgfx::Bitmap::RGB565   ? 2
                            : format == touchgfx::Bitmap::RGB888 ? 3
                                                                 : 4;
  const std::uint64_t bytes = (std::uint64_t{width} * height * bpp + 3) / 4 * 4;
  if (bytes == 0 || bytes > CACHE_LIMIT) return 0;

  // The cache holds the bitmap and one guard word behind it.
  std::vector<std::uint8_t> cache(bytes + 4, 0x5A);
  touchgfx::Bitmap::registerBitmapDatabase(nullptr, 0,
                                           reinterpret_cast<std::uint16_t*>(cache.data()),
                                           static_cast<std::uint32_t>(bytes), 1);
  const touchgfx::BitmapId id = touchgfx::Bitmap::dynamicBitmapCreate(width, height, format);
  check(id != touchgfx::BITMAP_INVALID);
  const std::vector<std::uint8_t> before = cache;
  // The slot's own block, no byte more.
  std::uint8_t* exact = static_cast<std::uint8_t*>(std::malloc(slot.size()));
  std::memcpy(exact, slot.data(), slot.size());
  const bool shown = BMPFileLoader::readBMP24Mem(touchgfx::Bitmap(id), exact, slotSize);
  std::free(exact);
  check(std::memcmp(cache.data() + bytes, before.data() + bytes, 4) == 0);
  if (!shown) check(cache == before);
  if (width > BMPFileLoader::MAX_SIDE || height > BMPFileLoader::MAX_SIDE) check(!shown);
  touchgfx::Bitmap::registerBitmapDatabase(nullptr, 0);
  return 0;
}
