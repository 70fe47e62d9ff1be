// The equaliser screen.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screeneq_screen/ScreenEQPresenter.hpp"
#include "gui_generated/screeneq_screen/ScreenEQViewBase.hpp"

class ScreenEQView : public ScreenEQViewBase {
 public:
  ScreenEQView();
  ~ScreenEQView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
