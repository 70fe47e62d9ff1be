// The fonts: glyphs rasterised with FreeType from one face, and the generated font tables,
// text tables and typed-text table.
//
// Pixel size: a font of line height H gets the largest whole pixel size P at which the
// face's ascent plus descent fits the line, P = floor(H * units_per_EM / (ascender -
// descender)); for DejaVu Sans (ascender 1901, descender -483 of 2048) heights 20, 40, 10
// and 18 give 17, 34, 8 and 15 pixels. The base line lies `below` rows above the bottom of
// the line. Glyphs are hinted as FreeType does by default, rendered in 256 grey levels and
// stored at 4 bits a pixel (rounded), each row on whole bytes, the left pixel in the low
// nibble. Kerning: FreeType's kerning of the face between every two characters the font
// holds, rounded to whole pixels; pairs of 0 are left out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outputs.h"
#include "textsource.h"

namespace assets {

struct Glyph {
  char16_t unicode = 0;
  std::uint32_t dataOffset = 0;
  std::uint8_t width = 0;
  std::uint8_t height = 0;
  std::int16_t top = 0;  // rows from the base line up to the glyph's top row
  std::int8_t left = 0;
  std::uint8_t advance = 0;
  std::uint16_t kerningPos = 0;
  std::uint8_t kerningCount = 0;
};

struct Kerning {
  char16_t prev = 0;
  std::int8_t distance = 0;
};

struct RasterFont {
  FontWanted font;
  int pixelSize = 0;
  std::uint8_t maxLeft = 0;   // the most a glyph reaches left of the pen
  std::uint8_t maxRight = 0;  // the most a glyph reaches right of its advance
  std::vector<Glyph> glyphs;  // ascending unicode
  std::vector<std::uint8_t> pixels;
  std::vector<Kerning> kerning;  // grouped by glyph, each group ascending by prev
};

// Rasterises `chars` (ascending) of the face in `faceFile` for `font`. Returns "" or why not
// (the face cannot be read, or lacks one of the characters).
std::string rasteriseFont(const std::string& faceFile, const FontWanted& font,
                          const std::u16string& chars, RasterFont* out);

// Adds the generated font and text sources to `out` under `dir`: fonts/Table_NAME.cpp per
// font, fonts/ApplicationFontProvider.hpp/.cpp, texts/TextKeysAndLanguages.hpp,
// texts/TypedTextDatabase.hpp/.cpp and texts/Texts.cpp.
void emitTextTables(const TextSource& source, const std::vector<RasterFont>& fonts,
                    const std::string& dir, OutputFiles* out);

}  // namespace assets
