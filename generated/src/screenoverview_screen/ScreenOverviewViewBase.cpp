#include "gui_generated/screenoverview_screen/ScreenOverviewViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "touchgfx/Color.hpp"

namespace {

// A button at (x, y) drawn with one bitmap whether pressed or not.
void bitmapButton(touchgfx::Button& button, int16_t x, int16_t y, touchgfx::BitmapId bitmap) {
  button.setXY(x, y);
  button.setBitmaps(touchgfx::Bitmap(bitmap), touchgfx::Bitmap(bitmap));
}

}  // namespace

ScreenOverviewViewBase::ScreenOverviewViewBase()
    : buttonCallback(this, &ScreenOverviewViewBase::buttonCallbackHandler) {
  box1.setPosition(0, 0, 273, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(0, 0);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_HINTERGRUND_OVERVIEW_ID));

  bitmapButton(buttonForward, 184, 408, BITMAP_OVERVIEW_FWD_ID);
  bitmapButton(buttonMain, 91, 408, BITMAP_OVERVIEW_BACK_ID);
  bitmapButton(buttonBack, 0, 408, BITMAP_OVERVIEW_RWD_ID);

  // The pictures' buttons: the first without a bitmap, the others with the note; all
  // invisible but touchable.
  buttonFolder1.setXY(5, 6);
  bitmapButton(buttonFolder2, 139, 6, BITMAP_NOTE_ID);
  bitmapButton(buttonFolder3, 5, 140, BITMAP_NOTE_ID);
  bitmapButton(buttonFolder4, 139, 140, BITMAP_NOTE_ID);
  bitmapButton(buttonFolder5, 5, 274, BITMAP_NOTE_ID);
  bitmapButton(buttonFolder6, 139, 274, BITMAP_NOTE_ID);

  touchgfx::Button* const buttons[] = {&buttonForward, &buttonMain,    &buttonFolder1,
                                       &buttonFolder2, &buttonBack,    &buttonFolder3,
                                       &buttonFolder4, &buttonFolder5, &buttonFolder6};
  for (touchgfx::Button* button : buttons) button->setAction(buttonCallback);
  for (touchgfx::Button* folder : {&buttonFolder1, &buttonFolder2, &buttonFolder3, &buttonFolder4,
                                   &buttonFolder5, &buttonFolder6}) {
    folder->setAlpha(0);
  }

  add(box1);
  add(image1);
  for (touchgfx::Button* button : buttons) add(*button);
}

void ScreenOverviewViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonForward) {
    buttonForwardClicked();
  } else if (&src == &buttonMain) {
    application().gotoScreenMainScreenNoTransition();
  } else if (&src == &buttonFolder1) {
    buttonPressedFolder1();
  } else if (&src == &buttonFolder2) {
    buttonPressedFolder2();
  } else if (&src == &buttonBack) {
    buttonBackClicked();
  } else if (&src == &buttonFolder3) {
    buttonPressedFolder3();
  } else if (&src == &buttonFolder4) {
    buttonPressedFolder4();
  } else if (&src == &buttonFolder5) {
    buttonPressedFolder5();
  } else if (&src == &buttonFolder6) {
    buttonPressedFolded6();
  }
}
