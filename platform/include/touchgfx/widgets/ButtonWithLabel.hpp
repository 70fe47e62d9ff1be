/* Graphics framework: a button with a text on it, centred vertically, aligned as its typed
 * text says, in one colour when released and another when pressed. */
#ifndef TOUCHGFX_WIDGETS_BUTTONWITHLABEL_HPP
#define TOUCHGFX_WIDGETS_BUTTONWITHLABEL_HPP

#include "touchgfx/TypedText.hpp"
#include "touchgfx/widgets/Button.hpp"

namespace touchgfx {

class ButtonWithLabel : public Button {
 public:
  ButtonWithLabel() : Button(), typedText(), color(0), colorPressed(0) {}

  void setLabelText(TypedText t) { typedText = t; }
  TypedText getLabelText() const { return typedText; }
  void setLabelColor(colortype c, bool performInvalidate = false) {
    color = c;
    if (performInvalidate) invalidate();
  }
  colortype getLabelColor() const { return color; }
  void setLabelColorPressed(colortype c, bool performInvalidate = false) {
    colorPressed = c;
    if (performInvalidate) invalidate();
  }
  colortype getLabelColorPressed() const { return colorPressed; }

  void draw(const Rect& invalidatedArea) const override;

 protected:
  TypedText typedText;
  colortype color;
  colortype colorPressed;
};

}  // namespace touchgfx

#endif
