#include "gui_generated/screenabout_screen/ScreenAboutViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "touchgfx/Color.hpp"

ScreenAboutViewBase::ScreenAboutViewBase()
    : buttonCallback(this, &ScreenAboutViewBase::buttonCallbackHandler) {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(118, 36, 118));

  buttonWithLabel1.setXY(102, 420);
  buttonWithLabel1.setBitmaps(touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID),
                              touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_PRESSED_ID));
  buttonWithLabel1.setLabelText(touchgfx::TypedText(T_SINGLEUSEID1));
  buttonWithLabel1.setLabelColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setLabelColorPressed(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setAction(buttonCallback);

  textArea1.setXY(7, 28);
  textArea1.setColor(touchgfx::Color::getColorFrom24BitRGB(0, 0, 0));
  textArea1.setLinespacing(0);
  textArea1.setTypedText(touchgfx::TypedText(T_SINGLEUSEID10));
  textArea1.resizeToCurrentText();

  add(box1);
  add(buttonWithLabel1);
  add(textArea1);
}

void ScreenAboutViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonWithLabel1) application().gotoScreenElternScreenSlideTransitionNorth();
}
