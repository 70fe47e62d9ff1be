#include "gui/common/FolderPicture.hpp"

#include <cstdio>

#include "gui/common/BMPFileLoader.hpp"

namespace folderpicture {

namespace {

// A quarter turn counter-clockwise, as the float the widget takes.
const float QUARTER_TURN_BACK = -1.5707964f;

}  // namespace

bool show(touchgfx::AnimationTextureMapper& widget, touchgfx::BitmapId& bmpId, const uint8_t* data,
          uint32_t size) {
  uint16_t width = 0;
  uint16_t height = 0;
  if (!BMPFileLoader::getBMP24DimensionsMem(data, size, width, height)) {
    puts("picture rows beyond the file\r");
    hide(widget);
    return false;
  }
  bmpId = touchgfx::Bitmap::dynamicBitmapCreate(width, height, touchgfx::Bitmap::RGB888);
  if (bmpId == touchgfx::BITMAP_INVALID) {
    puts("allocation failed\r");
    hide(widget);
    return false;
  }
  puts("allocation success\r");
  const touchgfx::Bitmap bitmap(bmpId);
  if (!BMPFileLoader::readBMP24Mem(bitmap, data, size)) {
    // Nothing of a refused picture is shown, not even its empty bitmap.
    touchgfx::Bitmap::dynamicBitmapDelete(bmpId);
    bmpId = touchgfx::BITMAP_INVALID;
    hide(widget);
    return false;
  }
  printf("image file read: %i, %i, %i\r\n", static_cast<int>(bmpId),
         static_cast<int>(bitmap.getWidth()), static_cast<int>(bitmap.getHeight()));

  widget.setBitmap(bitmap);
  // Setting the bitmap sized the widget to it: the turned picture needs the whole frame, and
  // a smaller picture sits in its middle, so that the turn about (64, 64) is about its centre.
  widget.setWidthHeight(FRAME, FRAME);
  widget.setBitmapPosition(static_cast<float>(FRAME - width) / 2.0f,
                           static_cast<float>(FRAME - height) / 2.0f);
  widget.setOrigo(FRAME / 2.0f, FRAME / 2.0f, widget.getCameraDistance());
  widget.applyTransformation();
  widget.updateAngles(widget.getXAngle(), widget.getYAngle(), QUARTER_TURN_BACK);
  widget.invalidate();
  puts("image assigned\r");
  return true;
}

void hide(touchgfx::AnimationTextureMapper& widget) {
  widget.setAlpha(0);
  widget.invalidate();
}

}  // namespace folderpicture
