/* Graphics framework: a rectangle of one colour. Solid when fully opaque. */
#ifndef TOUCHGFX_WIDGETS_BOX_HPP
#define TOUCHGFX_WIDGETS_BOX_HPP

#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class Box : public Widget {
 public:
  Box() : Widget(), color(0), alpha(255) {}
  Box(uint16_t width, uint16_t height, colortype c, uint8_t a = 255)
      : Widget(), color(c), alpha(a) {
    setWidthHeight(static_cast<int16_t>(width), static_cast<int16_t>(height));
  }

  void setColor(colortype c) { color = c; }
  colortype getColor() const { return color; }
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override;

 private:
  colortype color;
  uint8_t alpha;
};

}  // namespace touchgfx

#endif
