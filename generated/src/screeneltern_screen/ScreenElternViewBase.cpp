#include "gui_generated/screeneltern_screen/ScreenElternViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "touchgfx/Color.hpp"

namespace {

// A blue button with a white label at (x, y).
void labelledButton(touchgfx::ButtonWithLabel& button, int16_t x, int16_t y, TEXTS text) {
  button.setXY(x, y);
  button.setBitmaps(touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID),
                    touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_PRESSED_ID));
  button.setLabelText(touchgfx::TypedText(text));
  button.setLabelColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  button.setLabelColorPressed(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
}

}  // namespace

ScreenElternViewBase::ScreenElternViewBase()
    : buttonCallback(this, &ScreenElternViewBase::buttonCallbackHandler) {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(118, 36, 118));

  labelledButton(buttonClose, 102, 420, T_SINGLEUSEID2);
  buttonClose.setAction(buttonCallback);
  labelledButton(buttonAbout, 102, 360, T_SINGLEUSEID3);
  buttonAbout.setAction(buttonCallback);
  labelledButton(buttonEQ, 102, 300, T_SINGLEUSEID5);
  buttonEQ.setAction(buttonCallback);

  add(box1);
  add(buttonClose);
  add(buttonAbout);
  add(buttonEQ);
}

void ScreenElternViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonClose) {
    application().gotoScreenMainScreenNoTransition();
  } else if (&src == &buttonAbout) {
    application().gotoScreenAboutScreenNoTransition();
  } else if (&src == &buttonEQ) {
    application().gotoScreenEQScreenNoTransition();
  }
}
