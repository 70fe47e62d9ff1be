/* Graphics framework: a button drawn with one bitmap when released and another when pressed,
 * with an alpha for the whole button. Setting the bitmaps sizes the button to the released
 * one. */
#ifndef TOUCHGFX_WIDGETS_BUTTON_HPP
#define TOUCHGFX_WIDGETS_BUTTON_HPP

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/AbstractButton.hpp"

namespace touchgfx {

class Button : public AbstractButton {
 public:
  Button() : AbstractButton(), up(), down(), alpha(255) {}

  virtual void setBitmaps(const Bitmap& bmpReleased, const Bitmap& bmpPressed);
  Bitmap getCurrentlyDisplayedBitmap() const { return pressed ? down : up; }
  BitmapId getPressed() const { return down.getId(); }
  BitmapId getReleased() const { return up.getId(); }
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override;

 protected:
  Bitmap up;
  Bitmap down;
  uint8_t alpha;
};

}  // namespace touchgfx

#endif
