// The equaliser screen's widgets, as the designer laid them out on purple: five band sliders
// and the button back to the parents' screen.
#pragma once

#include "gui/screeneq_screen/ScreenEQPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/containers/Slider.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"

class ScreenEQViewBase : public touchgfx::View<ScreenEQPresenter> {
 public:
  ScreenEQViewBase();
  ~ScreenEQViewBase() override = default;
  void setupScreen() override {}

  // The band sliders' actions, lowest band first; the view overrides them.
  virtual void sliderValue1(int /*value*/) {}
  virtual void sliderValue2(int /*value*/) {}
  virtual void sliderValue3(int /*value*/) {}
  virtual void sliderValue4(int /*value*/) {}
  virtual void sliderValue5(int /*value*/) {}

 protected:
  touchgfx::Box box1;
  touchgfx::ButtonWithLabel buttonWithLabel1;  // "Back": the parents' screen
  touchgfx::Slider slider1;                    // bands 1 (lowest) to 5, each 0..24
  touchgfx::Slider slider2;
  touchgfx::Slider slider3;
  touchgfx::Slider slider4;
  touchgfx::Slider slider5;
  touchgfx::Button buttonHiddenMain;
  touchgfx::Button buttonHiddenTraurig;
  touchgfx::Button buttonHiddenGluecklich;

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  void sliderValueChangedCallbackHandler(const touchgfx::Slider& src, int value);
  touchgfx::Callback<ScreenEQViewBase, const touchgfx::AbstractButton&> buttonCallback;
  touchgfx::Callback<ScreenEQViewBase, const touchgfx::Slider&, int> sliderValueChangedCallback;
};
