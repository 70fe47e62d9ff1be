// Feeds arbitrary bytes to the asset tool's two readers of outside data: the PNG decoder
// with the bitmap conversion behind it, and the text source's parser. Besides crashes and
// hangs it checks what every accepted input must give: pixels of the stated size, a solid
// rectangle inside the picture and fully opaque, and texts whose fonts exist with
// characters in ascending order that hold the fallback.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "bitmaps.h"
#include "png_io.h"
#include "textsource.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void picture(const std::uint8_t* data, std::size_t size) {
  assets::Rgba p;
  if (!assets::decodePng(data, size, &p).empty()) return;
  check(p.width >= 1 && p.height >= 1 && p.width <= assets::MAX_PICTURE_SIDE &&
        p.height <= assets::MAX_PICTURE_SIDE);
  check(p.pixels.size() == std::size_t{p.width} * p.height * 4);
  const assets::Bitmap b = assets::convertBitmap("fuzz", p, assets::Format::ARGB8888);
  check(b.data.size() == p.pixels.size());
  const assets::SolidRect r = b.solid;
  check(r.x + r.width <= p.width && r.y + r.height <= p.height);
  for (std::uint32_t y = r.y; y < std::uint32_t{r.y} + r.height; ++y) {
    for (std::uint32_t x = r.x; x < std::uint32_t{r.x} + r.width; ++x) check(p.at(x, y)[3] == 255);
  }
  check(assets::convertBitmap("fuzz", p, assets::Format::RGB565).data.size() ==
        std::size_t{p.width} * p.height * 2);
}

void textSource(const std::uint8_t* data, std::size_t size) {
  assets::TextSource src;
  if (!assets::parseTextSource(std::string_view(reinterpret_cast<const char*>(data), size), &src)
           .empty()) {
    return;
  }
  check(!src.fonts.empty() && !src.texts.empty());
  for (std::size_t i = 0; i < src.fonts.size(); ++i) {
    const assets::FontWanted& f = src.fonts[i];
    check(f.index == static_cast<int>(i) && f.bpp == 4 && f.below <= f.height);
    const std::u16string chars = assets::fontCharacters(src, f.index);
    check(chars.find(f.fallback) != std::u16string::npos);
    check(chars.find(u'\n') == std::u16string::npos);
    for (std::size_t k = 1; k < chars.size(); ++k) check(chars[k - 1] < chars[k]);
  }
  for (std::size_t i = 0; i < src.texts.size(); ++i) {
    const assets::TextSpec& t = src.texts[i];
    check(t.id == static_cast<int>(i));
    check(t.font >= 0 && t.font < static_cast<int>(src.fonts.size()));
    check(t.text.find(u'\0') == std::u16string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  picture(data, size);
  textSource(data, size);
  return 0;
}
