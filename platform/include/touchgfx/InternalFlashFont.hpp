/* Graphics framework: a font whose tables are read in place from memory-mapped flash. */
#ifndef TOUCHGFX_INTERNALFLASHFONT_HPP
#define TOUCHGFX_INTERNALFLASHFONT_HPP

#include "touchgfx/Font.hpp"

namespace touchgfx {

class InternalFlashFont : public Font {
 public:
  /* `list`: `size` glyphs in ascending unicode order; `glyphData`: their pixels;
   * `kerningList`: the kerning pairs the glyphs point into (may be null when none). */
  InternalFlashFont(const GlyphNode* list, uint16_t size, uint16_t height, uint8_t pixBelowBase,
                    uint8_t bitsPerPixel, uint8_t maxLeft, uint8_t maxRight,
                    const uint8_t* glyphData, const KerningNode* kerningList,
                    Unicode::UnicodeChar fallbackChar, Unicode::UnicodeChar ellipsisChar);

  const GlyphNode* getGlyph(Unicode::UnicodeChar unicode) const override;
  const uint8_t* getPixelData(const GlyphNode* glyph) const override;
  int8_t getKerning(Unicode::UnicodeChar prev, const GlyphNode* glyph) const override;

 private:
  const GlyphNode* find(Unicode::UnicodeChar unicode) const;

  const GlyphNode* glyphList;
  uint16_t listSize;
  const uint8_t* glyphData;
  const KerningNode* kerningData;
};

}  // namespace touchgfx

#endif
