// The text source (assets/texts.txt): the fonts and the texts of the user interface, in a
// small line format of our own.
//
//   # a comment, up to the end of the line
//   font INDEX NAME TYPOGRAPHY height=H below=B bpp=4 fallback="?"
//   text ID KEY font=INDEX align=left|centre|right "TEXT"
//        "MORE TEXT"            (a line holding only a quoted string continues the text)
//
// Fonts are listed with indices 0, 1, 2 ... in order, texts with ids 0, 1, 2 ... in order;
// names and keys are C identifiers, each used once. A text is UTF-8 between double quotes,
// with the escapes \" \\ \n \t and \uXXXX; it may hold any character up to U+FFFF except 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace assets {

enum class Align : std::uint8_t { LEFT = 0, CENTRE = 1, RIGHT = 2 };

struct FontWanted {
  int index = 0;
  std::string name;        // e.g. verdana_20_4bpp: getFont_<name>, glyphs_<name> ...
  std::string typography;  // the id's name in struct Typography
  int height = 0;          // the line's height in pixels, 1..255
  int below = 0;           // pixels below the base line, 0..height
  int bpp = 4;
  char16_t fallback = u'?';
};

struct TextSpec {
  int id = 0;
  std::string key;  // the enum TEXTS name
  int font = 0;
  Align align = Align::LEFT;
  std::u16string text;
};

struct TextSource {
  std::vector<FontWanted> fonts;
  std::vector<TextSpec> texts;
};

// Parses a whole text source. Returns "" or "line N: why" for the first fault found.
std::string parseTextSource(std::string_view source, TextSource* out);

// The characters a font must hold: those of its texts (line feeds excepted) and its
// fallback, in ascending order without repeats.
std::u16string fontCharacters(const TextSource& source, int fontIndex);

}  // namespace assets
