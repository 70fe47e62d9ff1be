/* Graphics framework: a drawable without children. It receives touches when it is visible
 * and touchable. */
#ifndef TOUCHGFX_WIDGETS_WIDGET_HPP
#define TOUCHGFX_WIDGETS_WIDGET_HPP

#include "touchgfx/Drawable.hpp"

namespace touchgfx {

class Widget : public Drawable {
 public:
  Widget() : Drawable() {}
  void getLastChild(int16_t x, int16_t y, Drawable** last) override {
    (void)x;
    (void)y;
    if (isVisible() && isTouchable()) *last = this;
  }
};

}  // namespace touchgfx

#endif
