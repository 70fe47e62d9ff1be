#include "gui_generated/screenusbda_screen/ScreenUsbDaViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "touchgfx/Color.hpp"

ScreenUsbDaViewBase::ScreenUsbDaViewBase() {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(30, 116);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_USBDA_ID));

  add(box1);
  add(image1);
}
