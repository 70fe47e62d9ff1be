// The widgets that draw a text of the text table: the text area and the button with a label.
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx/lcd/LCD.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"
#include "touchgfx/widgets/TextArea.hpp"

namespace touchgfx {

void ButtonWithLabel::draw(const Rect& invalidatedArea) const {
  Button::draw(invalidatedArea);
  if (!typedText.hasValidId()) return;
  const Font* font = typedText.getFont();
  if (font == nullptr) return;
  const int16_t height = static_cast<int16_t>(font->getFontHeight());
  const Rect label(0, static_cast<int16_t>((getHeight() - height) / 2), getWidth(), height);
  Rect dirty = invalidatedArea & label;
  if (dirty.isEmpty()) return;
  dirty.x = static_cast<int16_t>(dirty.x - label.x);
  dirty.y = static_cast<int16_t>(dirty.y - label.y);
  Rect labelAbs = label;
  translateRectToAbsolute(labelAbs);
  const LCD::StringVisuals visuals(font, pressed ? colorPressed : color, alpha,
                                   typedText.getAlignment(), 0, typedText.getTextDirection());
  HAL::lcd().drawString(labelAbs, dirty, visuals, typedText.getText());
}

// ---- TextArea

int16_t TextArea::getTextWidth() const {
  if (!typedText.hasValidId()) return 0;
  return static_cast<int16_t>(LCD::getTextWidth(typedText.getFont(), typedText.getText()));
}

int16_t TextArea::getTextHeight() const {
  if (!typedText.hasValidId()) return 0;
  const Font* font = typedText.getFont();
  if (font == nullptr) return 0;
  const int lines = LCD::getNumberOfLines(typedText.getText());
  if (lines == 0) return 0;
  return static_cast<int16_t>(lines * font->getFontHeight() + (lines - 1) * linespace);
}

void TextArea::resizeToCurrentText() { setWidthHeight(getTextWidth(), getTextHeight()); }

void TextArea::draw(const Rect& invalidatedArea) const {
  if (!typedText.hasValidId()) return;
  const Font* font = typedText.getFont();
  if (font == nullptr) return;
  const LCD::StringVisuals visuals(font, color, alpha, typedText.getAlignment(), linespace,
                                   typedText.getTextDirection());
  HAL::lcd().drawString(getAbsoluteRect(), invalidatedArea, visuals, typedText.getText());
}

}  // namespace touchgfx
