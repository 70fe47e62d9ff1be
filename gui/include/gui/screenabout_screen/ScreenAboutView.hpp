// The about screen: the credits, and "Close" back to the parents' screen (sliding).
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screenabout_screen/ScreenAboutPresenter.hpp"
#include "gui_generated/screenabout_screen/ScreenAboutViewBase.hpp"

class ScreenAboutView : public ScreenAboutViewBase {
 public:
  ScreenAboutView();
  ~ScreenAboutView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
