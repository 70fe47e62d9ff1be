/* Graphics framework: a bitmap at the widget's top-left corner. Setting the bitmap sizes the
 * widget to it. Solid where the bitmap is, when the widget is fully opaque. */
#ifndef TOUCHGFX_WIDGETS_IMAGE_HPP
#define TOUCHGFX_WIDGETS_IMAGE_HPP

#include "touchgfx/Bitmap.hpp"
#include "touchgfx/widgets/Widget.hpp"

namespace touchgfx {

class Image : public Widget {
 public:
  explicit Image(const Bitmap& bmp = Bitmap()) : Widget(), bitmap(), alpha(255) { setBitmap(bmp); }

  virtual void setBitmap(const Bitmap& bmp);
  Bitmap getBitmap() const { return bitmap; }
  BitmapId getBitmapId() const { return bitmap.getId(); }
  void setAlpha(uint8_t a) { alpha = a; }
  uint8_t getAlpha() const { return alpha; }

  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override;

 protected:
  Bitmap bitmap;
  uint8_t alpha;
};

}  // namespace touchgfx

#endif
