// The power-off screen: the only one without a Mirror, so the child sees it upside down.
#pragma once

#include "gui/screenpoweroff_screen/ScreenPowerOffPresenter.hpp"
#include "gui_generated/screenpoweroff_screen/ScreenPowerOffViewBase.hpp"

class ScreenPowerOffView : public ScreenPowerOffViewBase {
 public:
  ScreenPowerOffView();
  ~ScreenPowerOffView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;
};
