// The stick-present screen, shown while the core reads the stick.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screenusbda_screen/ScreenUsbDaPresenter.hpp"
#include "gui_generated/screenusbda_screen/ScreenUsbDaViewBase.hpp"

class ScreenUsbDaView : public ScreenUsbDaViewBase {
 public:
  ScreenUsbDaView();
  ~ScreenUsbDaView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
