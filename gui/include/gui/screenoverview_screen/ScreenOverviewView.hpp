// The overview screen: the root folders' pictures, six a page.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/screenoverview_screen/ScreenOverviewPresenter.hpp"
#include "gui_generated/screenoverview_screen/ScreenOverviewViewBase.hpp"

class ScreenOverviewView : public ScreenOverviewViewBase {
 public:
  ScreenOverviewView();
  ~ScreenOverviewView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
