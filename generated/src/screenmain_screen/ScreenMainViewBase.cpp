#include "gui_generated/screenmain_screen/ScreenMainViewBase.hpp"

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

ScreenMainViewBase::ScreenMainViewBase()
    : buttonCallback(this, &ScreenMainViewBase::buttonCallbackHandler) {
  boxBackground.setPosition(0, 0, 272, 480);
  boxBackground.setColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));

  image1.setXY(0, 0);
  image1.setBitmap(touchgfx::Bitmap(BITMAP_HINTERGRUND_SVG_ID));

  bitmapButton(buttonVor, 200, 137, BITMAP_VOR_ID);
  bitmapButton(buttonZurueck, 0, 140, BITMAP_ZURUECK_ID);
  bitmapButton(buttonOrdnerZurueck, 0, 0, BITMAP_ORDNERZURUECK_ID);
  bitmapButton(buttonOrdnerVor, 200, 0, BITMAP_ORDNERVOR_ID);
  bitmapButton(buttonPause, 76, 139, BITMAP_PLAYPAUSE_ID);

  bitmapButton(buttonOrdner1, 0, 208, BITMAP_KREISGRUEN_ID);
  bitmapButton(buttonOrdner2, 68, 206, BITMAP_QUADRATGRUEN_ID);
  bitmapButton(buttonOrdner3, 136, 208, BITMAP_DREIECKGRUEN_ID);
  bitmapButton(buttonOrdner4, 204, 208, BITMAP_STERNGRUEN_ID);
  bitmapButton(buttonOrdner5, 0, 276, BITMAP_KREISGELB_ID);
  bitmapButton(buttonOrdner6, 68, 276, BITMAP_QUADRATGELB_ID);
  bitmapButton(buttonOrdner7, 136, 276, BITMAP_DREIECKGELB_ID);
  bitmapButton(buttonOrdner8, 204, 276, BITMAP_STERNGELB_ID);
  bitmapButton(buttonOrdner9, 0, 344, BITMAP_KREISROT_ID);
  bitmapButton(buttonOrdner10, 68, 344, BITMAP_QUADRATROT_ID);
  bitmapButton(buttonOrdner11, 136, 344, BITMAP_DREIECKROT_ID);
  bitmapButton(buttonOrdner12, 204, 344, BITMAP_STERNROT_ID);
  bitmapButton(buttonOrdner13, 0, 412, BITMAP_KREISBLAU_ID);
  bitmapButton(buttonOrdner14, 68, 412, BITMAP_QUADRATBLAU_ID);
  bitmapButton(buttonOrdner15, 136, 412, BITMAP_DREIECKBLAU_ID);
  bitmapButton(buttonOrdner16, 204, 412, BITMAP_STERNBLAU_ID);

  for (touchgfx::Button* hidden : {&buttonHiddenGluecklich, &buttonHiddenTraurig}) {
    hidden->setPosition(0, 0, 0, 0);
    hidden->setVisible(false);
  }

  buttonPicture.setXY(72, 0);
  buttonPicture.setAlpha(0);

  touchgfx::Button* const withAction[] = {
      &buttonVor,      &buttonZurueck,          &buttonOrdnerZurueck, &buttonOrdnerVor,
      &buttonPause,    &buttonOrdner1,          &buttonOrdner2,       &buttonOrdner3,
      &buttonOrdner4,  &buttonOrdner5,          &buttonOrdner6,       &buttonOrdner7,
      &buttonOrdner8,  &buttonOrdner9,          &buttonOrdner10,      &buttonOrdner11,
      &buttonOrdner12, &buttonOrdner13,         &buttonOrdner14,      &buttonOrdner15,
      &buttonOrdner16, &buttonHiddenGluecklich, &buttonHiddenTraurig, &buttonPicture};
  for (touchgfx::Button* button : withAction) button->setAction(buttonCallback);

  // Bottom-most first; the grid goes in by columns after the first row.
  add(boxBackground);
  add(image1);
  add(buttonVor);
  add(buttonZurueck);
  add(buttonOrdnerZurueck);
  add(buttonOrdnerVor);
  add(buttonPause);
  add(buttonOrdner1);
  add(buttonOrdner2);
  add(buttonOrdner3);
  add(buttonOrdner4);
  add(buttonOrdner5);
  add(buttonOrdner9);
  add(buttonOrdner13);
  add(buttonOrdner6);
  add(buttonOrdner7);
  add(buttonOrdner8);
  add(buttonOrdner10);
  add(buttonOrdner11);
  add(buttonOrdner12);
  add(buttonOrdner14);
  add(buttonOrdner15);
  add(buttonOrdner16);
  add(buttonHiddenGluecklich);
  add(buttonHiddenTraurig);
  add(buttonPicture);
}

void ScreenMainViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonVor) {
    buttonClickedVor();
  } else if (&src == &buttonZurueck) {
    buttonClickedZurueck();
  } else if (&src == &buttonOrdnerZurueck) {
    buttonClickedOrdnerZurueck();
  } else if (&src == &buttonOrdnerVor) {
    buttonClickedOrdnerVor();
  } else if (&src == &buttonPause) {
    buttonClickedPause();
  } else if (&src == &buttonOrdner1) {
    buttonClickedOrdner1();
  } else if (&src == &buttonOrdner2) {
    buttonClickedOrdner2();
  } else if (&src == &buttonOrdner3) {
    buttonClickedOrdner3();
  } else if (&src == &buttonOrdner4) {
    buttonClickedOrdner4();
  } else if (&src == &buttonOrdner5) {
    buttonClickedOrdner5();
  } else if (&src == &buttonOrdner6) {
    buttonClickedOrdner6();
  } else if (&src == &buttonOrdner7) {
    buttonClickedOrdner7();
  } else if (&src == &buttonOrdner8) {
    buttonClickedOrdner8();
  } else if (&src == &buttonOrdner9) {
    buttonClickedOrdner9();
  } else if (&src == &buttonOrdner10) {
    buttonClickedOrdner10();
  } else if (&src == &buttonOrdner11) {
    buttonClickedOrdner11();
  } else if (&src == &buttonOrdner12) {
    buttonClickedOrdner12();
  } else if (&src == &buttonOrdner13) {
    buttonClickedOrdner13();
  } else if (&src == &buttonOrdner14) {
    buttonClickedOrdner14();
  } else if (&src == &buttonOrdner15) {
    buttonClickedOrdner15();
  } else if (&src == &buttonOrdner16) {
    buttonClickedOrdner16();
  } else if (&src == &buttonHiddenGluecklich) {
    application().gotoScreenUsbDaScreenNoTransition();
  } else if (&src == &buttonHiddenTraurig) {
    application().gotoScreenUsbWegScreenNoTransition();
  } else if (&src == &buttonPicture) {
    application().gotoScreenOverviewScreenNoTransition();
  }
}
