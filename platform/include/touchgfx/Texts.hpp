/* Graphics framework: the application's texts in the selected language. The application's
 * generated code implements this class over its text tables. */
#ifndef TOUCHGFX_TEXTS_HPP
#define TOUCHGFX_TEXTS_HPP

#include "touchgfx/Unicode.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Texts {
 public:
  /* Selects a language: installs its texts and typed-text table in the framework
   * (TypedText::registerTexts and TypedText::registerTypedTextDatabase). */
  static void setLanguage(LanguageId id);
  static LanguageId getLanguage() { return currentLanguage; }
  /* The text of an id in the selected language. */
  const Unicode::UnicodeChar* getText(TypedTextId id) const;

 private:
  static LanguageId currentLanguage;
};

}  // namespace touchgfx

#endif
