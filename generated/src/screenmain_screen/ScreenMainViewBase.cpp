#include "gui_generated/screenmain_screen/ScreenMainViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "touchgfx/Color.hpp"

ScreenMainViewBase::ScreenMainViewBase()
    : buttonCallback(this, &ScreenMainViewBase::buttonCallbackHandler) {
  boxBackground.setPosition(0, 0, 272, 480);
  boxBackground.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(0, 0);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_HINTERGRUND_SVG_ID));

  buttonPicture.setXY(72, 0);
  buttonPicture.setAlpha(0);
  buttonPicture.setAction(buttonCallback);

  add(boxBackground);
  add(image1);
  add(buttonPicture);
}

void ScreenMainViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonPicture) application().gotoScreenOverviewScreenNoTransition();
}
