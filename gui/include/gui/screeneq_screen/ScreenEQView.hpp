// The equaliser screen: five band sliders, 0..24 with 0 dB (12) in the middle. Every change
// goes to the core at once, with the whole settings record.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/User/modelUserData.h"
#include "gui/screeneq_screen/ScreenEQPresenter.hpp"
#include "gui_generated/screeneq_screen/ScreenEQViewBase.hpp"

class ScreenEQView : public ScreenEQViewBase {
 public:
  ScreenEQView();
  ~ScreenEQView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

  // Sets the sliders to the bands 1 to 5, in this order; each reports its (clamped) value, so
  // each sends the record once.
  void setEqualizer(const ModelParentsSettings& settings);

  void sliderValue1(int value) override;
  void sliderValue2(int value) override;
  void sliderValue3(int value) override;
  void sliderValue4(int value) override;
  void sliderValue5(int value) override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
