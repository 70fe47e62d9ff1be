// The stick-removed screen, shown from start-up until the core reports a stick.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screenusbweg_screen/ScreenUsbWegPresenter.hpp"
#include "gui_generated/screenusbweg_screen/ScreenUsbWegViewBase.hpp"

class ScreenUsbWegView : public ScreenUsbWegViewBase {
 public:
  ScreenUsbWegView();
  ~ScreenUsbWegView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
