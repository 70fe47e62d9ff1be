#include "gui_generated/screeneq_screen/ScreenEQViewBase.hpp"

#include "BitmapDatabase.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "touchgfx/Color.hpp"

ScreenEQViewBase::ScreenEQViewBase()
    : buttonCallback(this, &ScreenEQViewBase::buttonCallbackHandler),
      sliderValueChangedCallback(this, &ScreenEQViewBase::sliderValueChangedCallbackHandler) {
  box1.setPosition(0, 0, 272, 480);
  box1.setColor(touchgfx::Color::getColorFrom24BitRGB(118, 36, 118));

  buttonWithLabel1.setXY(102, 420);
  buttonWithLabel1.setBitmaps(touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID),
                              touchgfx::Bitmap(BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_PRESSED_ID));
  buttonWithLabel1.setLabelText(touchgfx::TypedText(T_SINGLEUSEID9));
  buttonWithLabel1.setLabelColor(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setLabelColorPressed(touchgfx::Color::getColorFrom24BitRGB(255, 255, 255));
  buttonWithLabel1.setAction(buttonCallback);

  // Medium vertical sliders, 0..24 with 0 dB (12) in the middle; the new-value callback comes
  // after the initial value, so setting it reports nothing.
  touchgfx::Slider* const bands[] = {&slider1, &slider2, &slider3, &slider4, &slider5};
  const int16_t x[] = {17, 68, 119, 170, 225};
  for (int band = 0; band < 5; ++band) {
    touchgfx::Slider& slider = *bands[band];
    slider.setXY(x[band], 50);
    slider.setBitmaps(BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_BACK_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_FILL_ID,
                      BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_INDICATORS_SLIDER3_VERTICAL_ROUND_NOB_ID);
    slider.setupVerticalSlider(7, 3, 0, 0, 285);
    slider.setValueRange(0, 24);
    slider.setValue(12);
    slider.setNewValueCallback(sliderValueChangedCallback);
  }

  // The designer's links to other screens: no bitmap, no size, never touched.
  for (touchgfx::Button* hidden :
       {&buttonHiddenMain, &buttonHiddenTraurig, &buttonHiddenGluecklich}) {
    hidden->setXY(0, 0);
    hidden->setVisible(false);
    hidden->setAction(buttonCallback);
  }

  add(box1);
  add(buttonWithLabel1);
  add(slider1);
  add(slider2);
  add(slider3);
  add(slider4);
  add(slider5);
  add(buttonHiddenMain);
  add(buttonHiddenTraurig);
  add(buttonHiddenGluecklich);
}

void ScreenEQViewBase::buttonCallbackHandler(const touchgfx::AbstractButton& src) {
  if (&src == &buttonWithLabel1) {
    application().gotoScreenElternScreenNoTransition();
  } else if (&src == &buttonHiddenMain) {
    application().gotoScreenMainScreenNoTransition();
  } else if (&src == &buttonHiddenTraurig) {
    application().gotoScreenUsbWegScreenNoTransition();
  } else if (&src == &buttonHiddenGluecklich) {
    application().gotoScreenUsbDaScreenNoTransition();
  }
}

void ScreenEQViewBase::sliderValueChangedCallbackHandler(const touchgfx::Slider& src, int value) {
  if (&src == &slider1) {
    sliderValue1(value);
  } else if (&src == &slider2) {
    sliderValue2(value);
  } else if (&src == &slider3) {
    sliderValue3(value);
  } else if (&src == &slider4) {
    sliderValue4(value);
  } else if (&src == &slider5) {
    sliderValue5(value);
  }
}
