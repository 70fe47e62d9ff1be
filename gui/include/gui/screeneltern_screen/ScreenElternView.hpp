// The parents' settings screen.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"
#include "gui_generated/screeneltern_screen/ScreenElternViewBase.hpp"

class ScreenElternView : public ScreenElternViewBase {
 public:
  ScreenElternView();
  ~ScreenElternView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
