// The overview screen's widgets, as the designer laid them out: the background and the
// button back to the main screen.
#pragma once

#include "gui/screenoverview_screen/ScreenOverviewPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenOverviewViewBase : public touchgfx::View<ScreenOverviewPresenter> {
 public:
  ScreenOverviewViewBase();
  ~ScreenOverviewViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::Image image1;
  touchgfx::Button buttonMain;  // back to the main screen, the folder unchanged

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenOverviewViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
