// Typed texts for the tests while the asset side's implementation is not in the platform
// yet (the build leaves this file out once platform/touchgfx/fonts.cpp exists).
#include "touchgfx/Texts.hpp"
#include "touchgfx/TypedText.hpp"

namespace touchgfx {

const TypedText::TypedTextData* TypedText::typedTexts = nullptr;
const Font* const* TypedText::fonts = nullptr;
uint16_t TypedText::numberOfTypedTexts = 0;
const Texts* TypedText::texts = nullptr;

void TypedText::registerTypedTextDatabase(const TypedTextData* data, const Font* const* f,
                                          uint16_t n) {
  typedTexts = data;
  fonts = f;
  numberOfTypedTexts = n;
}
void TypedText::registerTexts(const Texts* t) { texts = t; }
bool TypedText::hasValidId() const {
  return typedTexts != nullptr && typedTextId < numberOfTypedTexts;
}
const Unicode::UnicodeChar* TypedText::getText() const {
  return hasValidId() && texts != nullptr ? texts->getText(typedTextId) : nullptr;
}
FontId TypedText::getFontId() const { return hasValidId() ? typedTexts[typedTextId].fontIdx : 0; }
const Font* TypedText::getFont() const {
  return hasValidId() && fonts != nullptr ? fonts[typedTexts[typedTextId].fontIdx] : nullptr;
}
Alignment TypedText::getAlignment() const {
  return hasValidId() ? typedTexts[typedTextId].alignment : LEFT;
}
TextDirection TypedText::getTextDirection() const {
  return hasValidId() ? typedTexts[typedTextId].direction : TEXT_DIRECTION_LTR;
}

}  // namespace touchgfx
