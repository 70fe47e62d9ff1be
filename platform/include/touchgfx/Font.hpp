/* Graphics framework: fonts. A font is a table of glyphs with their placement, the glyphs'
 * pixels at a few bits a pixel, and a kerning table. */
#ifndef TOUCHGFX_FONT_HPP
#define TOUCHGFX_FONT_HPP

#include <stdint.h>

#include "touchgfx/Unicode.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

/* One glyph. Its pixels start at `dataOffset` in the font's pixel data: `height` rows of
 * `width` pixels, each row starting on a whole byte; at 4 bits a pixel the left pixel of a
 * byte is its low nibble (0 transparent .. 15 full colour). */
struct GlyphNode {
  uint32_t dataOffset;
  Unicode::UnicodeChar unicode;
  uint8_t width;
  uint8_t height;
  int16_t top;               // rows from the base line up to the glyph's top row
  int8_t left;               // columns from the pen position to the glyph's first column
  uint8_t advance;           // how far the pen moves after the glyph
  uint16_t kerningTablePos;  // first entry of its kerning pairs in the kerning table
  uint8_t kerningTableSize;  // number of pairs that end in this glyph
};

/* A kerning pair: drawn after `unicodePrevChar`, the glyph moves by `distance` pixels. */
struct KerningNode {
  Unicode::UnicodeChar unicodePrevChar;
  int8_t distance;
};

class Font {
 public:
  virtual ~Font() = default;

  /* The glyph of `unicode`, or that of the fallback character when the font has none; null
   * only when the fallback is missing too. */
  virtual const GlyphNode* getGlyph(Unicode::UnicodeChar unicode) const = 0;
  /* The pixels of a glyph of this font. */
  virtual const uint8_t* getPixelData(const GlyphNode* glyph) const = 0;
  /* Pixels to add between `prev` and `glyph`. */
  virtual int8_t getKerning(Unicode::UnicodeChar prev, const GlyphNode* glyph) const = 0;

  uint16_t getFontHeight() const { return fontHeight; }
  uint8_t getPixelsBelowBaseline() const { return pixelsBelowBaseline; }
  uint8_t getBitsPerPixel() const { return bitsPerPixel; }
  Unicode::UnicodeChar getFallbackChar() const { return fallbackChar; }
  /* Width in pixels of a text drawn on one line (up to a line feed or the end). */
  uint16_t getStringWidth(const Unicode::UnicodeChar* text) const;

 protected:
  Font(uint16_t height, uint8_t pixBelowBase, uint8_t bpp, uint8_t maxLeft, uint8_t maxRight,
       Unicode::UnicodeChar fallback, Unicode::UnicodeChar ellipsis)
      : fontHeight(height),
        pixelsBelowBaseline(pixBelowBase),
        bitsPerPixel(bpp),
        maxPixelsLeft(maxLeft),
        maxPixelsRight(maxRight),
        fallbackChar(fallback),
        ellipsisChar(ellipsis) {}

  uint16_t fontHeight;
  uint8_t pixelsBelowBaseline;
  uint8_t bitsPerPixel;
  uint8_t maxPixelsLeft;
  uint8_t maxPixelsRight;
  Unicode::UnicodeChar fallbackChar;
  Unicode::UnicodeChar ellipsisChar;
};

}  // namespace touchgfx

#endif
