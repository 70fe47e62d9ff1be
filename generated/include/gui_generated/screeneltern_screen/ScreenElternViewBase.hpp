// The parents' screen's widgets, as the designer laid them out on purple: sliders for the
// maximum volume, the 3D depth and the speaker boost, the position-resume toggle, and the
// buttons to the main, about and equaliser screens.
#pragma once

#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/containers/Slider.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"
#include "touchgfx/widgets/TextArea.hpp"
#include "touchgfx/widgets/ToggleButton.hpp"

class ScreenElternViewBase : public touchgfx::View<ScreenElternPresenter> {
 public:
  ScreenElternViewBase();
  ~ScreenElternViewBase() override = default;
  void setupScreen() override {}

  // The widgets' actions; the view overrides them.
  virtual void sliderChangedMaxVol(int /*value*/) {}
  virtual void sliderChanged3d(int /*value*/) {}
  virtual void sliderChangedSpkBoost(int /*value*/) {}
  virtual void positionResumeChanged() {}

 protected:
  touchgfx::Box box1;
  touchgfx::ButtonWithLabel buttonClose;  // "Close": the main screen
  touchgfx::ButtonWithLabel buttonAbout;  // "About": the credits
  touchgfx::Slider sliderMaxVol;          // 0..63
  touchgfx::Slider slider3d;              // 0..31
  touchgfx::Slider sliderSpkBoost;        // 0..7
  touchgfx::ButtonWithLabel buttonEQ;     // "Equalizer"
  touchgfx::TextArea textArea1;           // "MaxVol"
  touchgfx::TextArea textArea1_1;         // "3d"
  touchgfx::TextArea textArea1_2;         // "SpkBoost"
  touchgfx::Button buttonHiddenGluecklich;
  touchgfx::Button buttonHiddenTraurig;
  touchgfx::ToggleButton toggleButtonPositionResume;
  touchgfx::TextArea textArea2;  // "Position Resume"

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  void sliderValueChangedCallbackHandler(const touchgfx::Slider& src, int value);
  touchgfx::Callback<ScreenElternViewBase, const touchgfx::AbstractButton&> buttonCallback;
  touchgfx::Callback<ScreenElternViewBase, const touchgfx::Slider&, int> sliderValueChangedCallback;
};
