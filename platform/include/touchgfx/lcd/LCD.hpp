/* Graphics framework: the drawing operations of the 24-bit display. Widgets draw through
 * them; every rectangle here is absolute (screen coordinates) unless said otherwise, and
 * nothing is drawn outside the rectangle a widget was asked to draw. */
#ifndef TOUCHGFX_LCD_LCD_HPP
#define TOUCHGFX_LCD_LCD_HPP

#include <stdint.h>

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/Font.hpp"
#include "touchgfx/Unicode.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class LCD {
 public:
  /* How a text is drawn. */
  struct StringVisuals {
    StringVisuals()
        : font(nullptr),
          color(0),
          alpha(255),
          alignment(LEFT),
          linespace(0),
          textDirection(TEXT_DIRECTION_LTR) {}
    StringVisuals(const Font* f, colortype c, uint8_t a, Alignment al, int16_t ls,
                  TextDirection dir)
        : font(f), color(c), alpha(a), alignment(al), linespace(ls), textDirection(dir) {}
    const Font* font;
    colortype color;
    uint8_t alpha;
    Alignment alignment;
    int16_t linespace;  // extra pixels between lines
    TextDirection textDirection;
  };

  /* Fills `rect` with a colour, blended by `alpha`. */
  void fillRect(const Rect& rect, colortype color, uint8_t alpha = 255);
  /* Draws the part `rect` of a bitmap whose top-left corner is at (x, y); its own alpha
   * (ARGB8888) and `alpha` blend it over what is there. */
  void drawPartialBitmap(const Bitmap& bitmap, int16_t x, int16_t y, const Rect& rect,
                         uint8_t alpha = 255, bool useOptimized = true);
  /* Draws a text into `widgetArea`, only inside `invalidatedArea` (relative to the widget):
   * one line per line feed, each aligned in the widget's width; the glyphs' pixels blend the
   * colour over what is there; a character the font lacks is drawn as its fallback
   * character. */
  void drawString(Rect widgetArea, const Rect& invalidatedArea, const StringVisuals& visuals,
                  const Unicode::UnicodeChar* text);

  /* Width in pixels of the line of `text` that starts at `text` (up to a line feed or the
   * end), kerning included. */
  static uint16_t getLineWidth(const Font* font, const Unicode::UnicodeChar* text);
  /* The widest line of a text and its number of lines. */
  static uint16_t getTextWidth(const Font* font, const Unicode::UnicodeChar* text);
  static uint16_t getNumberOfLines(const Unicode::UnicodeChar* text);

  uint8_t bitDepth() const { return 24; }
};

}  // namespace touchgfx

#endif
