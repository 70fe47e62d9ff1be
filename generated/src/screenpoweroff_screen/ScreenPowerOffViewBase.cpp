#include "gui_generated/screenpoweroff_screen/ScreenPowerOffViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "touchgfx/Color.hpp"

ScreenPowerOffViewBase::ScreenPowerOffViewBase() {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(53, 53, 53));

  image1.setXY(77, 167);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_NOTE_ID));

  add(box1);
  add(image1);
}
