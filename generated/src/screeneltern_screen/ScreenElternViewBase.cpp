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

// A vertical slider at (x, y): the small kind's indicator runs 125 pixels, the medium's 285;
// the value range starts at `value`.
void verticalSlider(touchgfx::Slider& slider, int16_t x, int16_t y, bool medium, int max,
                    int value) {
  slider.setXY(x, y);
  if (medium) {
    slider.setBitmaps(BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_BACK_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_FILL_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_INDICATORS_SLIDER3_VERTICAL_ROUND_NOB_ID);
    slider.setupVerticalSlider(7, 3, 0, 0, 285);
  } else {
    slider.setBitmaps(BITMAP_BLUE_SLIDER_VERTICAL_SMALL_SLIDER3_VERTICAL_ROUND_BACK_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_SMALL_SLIDER3_VERTICAL_ROUND_FILL_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_SMALL_INDICATORS_SLIDER3_VERTICAL_ROUND_NOB_ID);
    slider.setupVerticalSlider(7, 3, 0, 0, 125);
  }
  slider.setValueRange(0, max);
  slider.setValue(value);
}

// A black one-line text at (x, y), as wide as its text.
void label(touchgfx::TextArea& text, int16_t x, int16_t y, TEXTS id) {
  text.setXY(x, y);
  text.setColor(touchgfx::Color::getColorFrom24BitRGB(0, 0, 0));
  text.setLinespacing(0);
  text.setTypedText(touchgfx::TypedText(id));
  text.resizeToCurrentText();
}

}  // namespace

ScreenElternViewBase::ScreenElternViewBase()
    : buttonCallback(this, &ScreenElternViewBase::buttonCallbackHandler),
      sliderValueChangedCallback(this, &ScreenElternViewBase::sliderValueChangedCallbackHandler) {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(118, 36, 118));

  labelledButton(buttonClose, 102, 420, T_SINGLEUSEID2);
  buttonClose.setAction(buttonCallback);
  labelledButton(buttonAbout, 102, 360, T_SINGLEUSEID3);
  buttonAbout.setAction(buttonCallback);

  // The new-value callbacks come after the initial values: setting those reports nothing.
  verticalSlider(sliderMaxVol, 11, 38, true, 63, 0);
  sliderMaxVol.setNewValueCallback(sliderValueChangedCallback);
  verticalSlider(slider3d, 102, 38, false, 31, 0);
  slider3d.setNewValueCallback(sliderValueChangedCallback);
  verticalSlider(sliderSpkBoost, 178, 38, false, 7, 0);
  sliderSpkBoost.setNewValueCallback(sliderValueChangedCallback);

  labelledButton(buttonEQ, 102, 300, T_SINGLEUSEID5);
  buttonEQ.setAction(buttonCallback);

  label(textArea1, 10, 13, T_SINGLEUSEID6);
  label(textArea1_1, 102, 13, T_SINGLEUSEID7);
  label(textArea1_2, 178, 13, T_SINGLEUSEID8);

  // The designer's links to the stick screens: no bitmap, no size, never touched.
  buttonHiddenGluecklich.setXY(0, 0);
  buttonHiddenGluecklich.setVisible(false);
  buttonHiddenGluecklich.setAction(buttonCallback);
  buttonHiddenTraurig.setXY(0, 0);
  buttonHiddenTraurig.setVisible(false);
  buttonHiddenTraurig.setAction(buttonCallback);

  toggleButtonPositionResume.setXY(127, 262);
  toggleButtonPositionResume.setBitmaps(
      touchgfx::Bitmap(BITMAP_BLUE_TOGGLEBARS_TOGGLE_ROUND_LARGE_BUTTON_OFF_ID),
      touchgfx::Bitmap(BITMAP_BLUE_TOGGLEBARS_TOGGLE_ROUND_LARGE_BUTTON_ON_ID));
  toggleButtonPositionResume.setAction(buttonCallback);

  label(textArea2, 103, 228, T_SINGLEUSEID11);

  add(box1);
  add(buttonClose);
  add(buttonAbout);
  add(sliderMaxVol);
  add(slider3d);
  add(sliderSpkBoost);
  add(buttonEQ);
  add(textArea1);
  add(textArea1_1);
  add(textArea1_2);
  add(buttonHiddenGluecklich);
  add(buttonHiddenTraurig);
  add(toggleButtonPositionResume);
  add(textArea2);
}

void ScreenElternViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonClose) {
    application().gotoScreenMainScreenNoTransition();
  } else if (&src == &buttonAbout) {
    application().gotoScreenAboutScreenNoTransition();
  } else if (&src == &buttonEQ) {
    application().gotoScreenEQScreenNoTransition();
  } else if (&src == &buttonHiddenGluecklich) {
    application().gotoScreenUsbDaScreenNoTransition();
  } else if (&src == &buttonHiddenTraurig) {
    application().gotoScreenUsbWegScreenNoTransition();
  } else if (&src == &toggleButtonPositionResume) {
    positionResumeChanged();
  }
}

void ScreenElternViewBase::sliderValueChangedCallbackHandler(const touchgfx::Slider& src,
                                                             int value) {
  if (&src == &sliderMaxVol) {
    sliderChangedMaxVol(value);
  } else if (&src == &slider3d) {
    sliderChanged3d(value);
  } else if (&src == &sliderSpkBoost) {
    sliderChangedSpkBoost(value);
  }
}
