#include "gui_generated/screeneq_screen/ScreenEQViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "touchgfx/Color.hpp"

ScreenEQViewBase::ScreenEQViewBase()
    : buttonCallback(this, &ScreenEQViewBase::buttonCallbackHandler) {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(118, 36, 118));

  buttonWithLabel1.setXY(102, 420);
  buttonWithLabel1.setBitmaps(touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID),
                              touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_PRESSED_ID));
  buttonWithLabel1.setLabelText(touchgfx::TypedText(T_SINGLEUSEID9));
  buttonWithLabel1.setLabelColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setLabelColorPressed(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setAction(buttonCallback);

  add(box1);
  add(buttonWithLabel1);
}

void ScreenEQViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonWithLabel1) application().gotoScreenElternScreenNoTransition();
}
