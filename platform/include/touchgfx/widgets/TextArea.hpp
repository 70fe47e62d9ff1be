/* Graphics framework: a text of the text table, in its font and alignment, in one colour;
 * a line feed starts a new line. */
#ifndef TOUCHGFX_WIDGETS_TEXTAREA_HPP
#define TOUCHGFX_WIDGETS_TEXTAREA_HPP

#include "touchgfx/TypedText.hpp"
#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class TextArea : public Widget {
 public:
  TextArea() : Widget(), typedText(), color(0), alpha(255), linespace(0) {}

  virtual void setTypedText(TypedText t) { typedText = t; }
  TypedText getTypedText() const { return typedText; }
  void setColor(colortype c) { color = c; }
  colortype getColor() const { return color; }
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }
  void setLinespacing(int16_t space) { linespace = space; }
  int16_t getLinespacing() const { return linespace; }

  /* Width of the widest line and height of all lines of the current text. */
  virtual int16_t getTextWidth() const;
  virtual int16_t getTextHeight() const;
  /* Sizes the widget to its text. */
  void resizeToCurrentText();

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override { return Rect(); }

 protected:
  TypedText typedText;
  colortype color;
  uint8_t alpha;
  int16_t linespace;
};

}  // namespace touchgfx

#endif
