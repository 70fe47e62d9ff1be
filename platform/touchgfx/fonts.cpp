// Graphics framework: texts and fonts. UTF-16 string length, the width of a line of text,
// fonts read in place from flash (glyph lookup, fallback character, kerning), the font
// provider and the typed-text table the application registers.
#include "touchgfx/FontManager.hpp"
#include "touchgfx/InternalFlashFont.hpp"
#include "touchgfx/Texts.hpp"
#include "touchgfx/TypedText.hpp"
#include "touchgfx/Unicode.hpp"

namespace touchgfx {

namespace {

// What a text query answers for an id without a text: an empty text.
const Unicode::UnicodeChar kNoText[] = {0};

}  // namespace

uint16_t Unicode::strlen(const UnicodeChar* str) {
  if (str == nullptr) return 0;
  uint16_t n = 0;
  while (str[n] != 0 && n < 0xFFFFU) ++n;
  return n;
}

uint16_t Font::getStringWidth(const Unicode::UnicodeChar* text) const {
  if (text == nullptr) return 0;
  int width = 0;
  Unicode::UnicodeChar prev = 0;
  for (const Unicode::UnicodeChar* p = text; *p != 0 && *p != '\n'; ++p) {
    const GlyphNode* glyph = getGlyph(*p);
    if (glyph == nullptr) continue;
    width += glyph->advance + (prev != 0 ? getKerning(prev, glyph) : 0);
    // Kerning goes by the glyph drawn, which is the fallback's for a missing character.
    prev = glyph->unicode;
  }
  if (width < 0) return 0;
  return width > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(width);
}

InternalFlashFont::InternalFlashFont(const GlyphNode* list, uint16_t size, uint16_t height,
                                     uint8_t pixBelowBase, uint8_t bitsPerPixel, uint8_t maxLeft,
                                     uint8_t maxRight, const uint8_t* pixels,
                                     const KerningNode* kerningList,
                                     Unicode::UnicodeChar fallbackChar,
                                     Unicode::UnicodeChar ellipsisChar)
    : Font(height, pixBelowBase, bitsPerPixel, maxLeft, maxRight, fallbackChar, ellipsisChar),
      glyphList(list),
      listSize(list == nullptr ? 0 : size),
      glyphData(pixels),
      kerningData(kerningList) {}

// Binary search of the glyph table, which is in ascending unicode order.
const GlyphNode* InternalFlashFont::find(Unicode::UnicodeChar unicode) const {
  int lo = 0;
  int hi = static_cast<int>(listSize) - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const Unicode::UnicodeChar c = glyphList[mid].unicode;
    if (c == unicode) return &glyphList[mid];
    if (c < unicode) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return nullptr;
}

const GlyphNode* InternalFlashFont::getGlyph(Unicode::UnicodeChar unicode) const {
  const GlyphNode* glyph = find(unicode);
  return glyph != nullptr ? glyph : find(fallbackChar);
}

const uint8_t* InternalFlashFont::getPixelData(const GlyphNode* glyph) const {
  if (glyph == nullptr || glyphData == nullptr) return nullptr;
  return glyphData + glyph->dataOffset;
}

int8_t InternalFlashFont::getKerning(Unicode::UnicodeChar prev, const GlyphNode* glyph) const {
  if (glyph == nullptr || kerningData == nullptr) return 0;
  const KerningNode* pairs = kerningData + glyph->kerningTablePos;
  for (uint8_t i = 0; i < glyph->kerningTableSize; ++i) {
    if (pairs[i].unicodePrevChar == prev) return pairs[i].distance;
  }
  return 0;
}

FontProvider* FontManager::provider = nullptr;

void FontManager::setFontProvider(FontProvider* fontProvider) { provider = fontProvider; }

Font* FontManager::getFont(FontId fontId) {
  return provider != nullptr ? provider->getFont(fontId) : nullptr;
}

const TypedText::TypedTextData* TypedText::typedTexts = nullptr;
const Font* const* TypedText::fonts = nullptr;
uint16_t TypedText::numberOfTypedTexts = 0;
const Texts* TypedText::texts = nullptr;

void TypedText::registerTypedTextDatabase(const TypedTextData* data, const Font* const* fontList,
                                          uint16_t n) {
  typedTexts = data;
  fonts = fontList;
  numberOfTypedTexts = data != nullptr ? n : 0;
}

void TypedText::registerTexts(const Texts* t) { texts = t; }

bool TypedText::hasValidId() const {
  return typedTexts != nullptr && typedTextId < numberOfTypedTexts;
}

const Unicode::UnicodeChar* TypedText::getText() const {
  if (!hasValidId() || texts == nullptr) return kNoText;
  const Unicode::UnicodeChar* text = texts->getText(typedTextId);
  return text != nullptr ? text : kNoText;
}

const Font* TypedText::getFont() const {
  return hasValidId() && fonts != nullptr ? fonts[typedTexts[typedTextId].fontIdx] : nullptr;
}

FontId TypedText::getFontId() const { return hasValidId() ? typedTexts[typedTextId].fontIdx : 0; }

Alignment TypedText::getAlignment() const {
  return hasValidId() ? typedTexts[typedTextId].alignment : LEFT;
}

TextDirection TypedText::getTextDirection() const {
  return hasValidId() ? typedTexts[typedTextId].direction : TEXT_DIRECTION_LTR;
}

}  // namespace touchgfx
