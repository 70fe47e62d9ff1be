#include "gui_generated/screenusbweg_screen/ScreenUsbWegViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "touchgfx/Color.hpp"

ScreenUsbWegViewBase::ScreenUsbWegViewBase() {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(46, 121);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_USBWEG_ID));

  add(box1);
  add(image1);
}
