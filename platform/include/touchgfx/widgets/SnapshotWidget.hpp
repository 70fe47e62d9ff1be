/* Graphics framework: a picture of the whole screen as it was last drawn, taken into the
 * animation storage; a slide transition moves it out while the new screen moves in. */
#ifndef TOUCHGFX_WIDGETS_SNAPSHOTWIDGET_HPP
#define TOUCHGFX_WIDGETS_SNAPSHOTWIDGET_HPP

#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class SnapshotWidget : public Widget {
 public:
  SnapshotWidget() : Widget(), alpha(255) {}

  /* Copies the screen as drawn so far (the layout, before any widget turned the frame) into
   * the animation storage. */
  void makeSnapshot();
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override;

 private:
  uint8_t alpha;
};

}  // namespace touchgfx

#endif
