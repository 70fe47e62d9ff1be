#include "gui_generated/screenoverview_screen/ScreenOverviewViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "touchgfx/Color.hpp"

ScreenOverviewViewBase::ScreenOverviewViewBase()
    : buttonCallback(this, &ScreenOverviewViewBase::buttonCallbackHandler) {
  box1.setPosition(0, 0, 273, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(0, 0);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_HINTERGRUND_OVERVIEW_ID));

  buttonMain.setXY(91, 408);
  buttonMain.setBitmaps(touchgfx::Bitmap(BITMAP_OVERVIEW_BACK_ID),
                        touchgfx::Bitmap(BITMAP_OVERVIEW_BACK_ID));
  buttonMain.setAction(buttonCallback);

  add(box1);
  add(image1);
  add(buttonMain);
}

void ScreenOverviewViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonMain) application().gotoScreenMainScreenNoTransition();
}
