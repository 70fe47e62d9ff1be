/* Graphics framework: a typed text is an id into the application's text table, with the font
 * and alignment the table gives it. */
#ifndef TOUCHGFX_TYPEDTEXT_HPP
#define TOUCHGFX_TYPEDTEXT_HPP

#include "touchgfx/Font.hpp"
#include "touchgfx/Unicode.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Texts;

class TypedText {
 public:
  /* One entry of the generated typed-text table. */
  struct TypedTextData {
    unsigned char fontIdx;
    Alignment alignment;
    TextDirection direction;
  };

  explicit TypedText(TypedTextId id = TYPED_TEXT_INVALID) : typedTextId(id) {}

  TypedTextId getId() const { return typedTextId; }
  bool hasValidId() const;
  const Unicode::UnicodeChar* getText() const;
  const Font* getFont() const;
  FontId getFontId() const;
  Alignment getAlignment() const;
  TextDirection getTextDirection() const;

  /* Installed by Texts::setLanguage: the language's table of typed texts, the font of each
   * font index, and the number of entries. */
  static void registerTypedTextDatabase(const TypedTextData* data, const Font* const* fonts,
                                        uint16_t n);
  static void registerTexts(const Texts* texts);

 private:
  TypedTextId typedTextId;
  static const TypedTextData* typedTexts;
  static const Font* const* fonts;
  static uint16_t numberOfTypedTexts;
  static const Texts* texts;
};

}  // namespace touchgfx

#endif
