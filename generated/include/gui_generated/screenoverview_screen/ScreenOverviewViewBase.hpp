// The overview screen's widgets, as the designer laid them out: the background, the arrows
// that page back and forward, the button back to the main screen and the six invisible
// buttons that the view places over the root folders' pictures.
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

  // The buttons' actions; the view gives each its meaning.
  virtual void buttonForwardClicked() {}
  virtual void buttonBackClicked() {}
  virtual void buttonPressedFolder1() {}
  virtual void buttonPressedFolder2() {}
  virtual void buttonPressedFolder3() {}
  virtual void buttonPressedFolder4() {}
  virtual void buttonPressedFolder5() {}
  virtual void buttonPressedFolded6() {}

 protected:
  touchgfx::Box box1;
  touchgfx::Image image1;
  touchgfx::Button buttonForward;  // the next page
  touchgfx::Button buttonMain;     // back to the main screen, the folder unchanged
  touchgfx::Button buttonFolder1;  // the pictures' buttons, all invisible (alpha 0)
  touchgfx::Button buttonFolder2;
  touchgfx::Button buttonBack;  // the previous page
  touchgfx::Button buttonFolder3;
  touchgfx::Button buttonFolder4;
  touchgfx::Button buttonFolder5;
  touchgfx::Button buttonFolder6;

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenOverviewViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
