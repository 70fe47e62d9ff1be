/* Graphics framework: the application's font provider, asked for a font by its index. */
#ifndef TOUCHGFX_FONTMANAGER_HPP
#define TOUCHGFX_FONTMANAGER_HPP

#include "touchgfx/Font.hpp"

namespace touchgfx {

class FontProvider {
 public:
  virtual ~FontProvider() = default;
  /* Null for an index the application has no font for. */
  virtual Font* getFont(FontId fontId) = 0;
};

class FontManager {
 public:
  static void setFontProvider(FontProvider* provider);
  /* Null when no provider is set or it has no such font. */
  static Font* getFont(FontId fontId);

 private:
  static FontProvider* provider;
};

}  // namespace touchgfx

#endif
