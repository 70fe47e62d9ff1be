// The main screen's widgets, as the designer laid them out: the background and the
// invisible button over the folder picture that leads to the overview.
#pragma once

#include "gui/screenmain_screen/ScreenMainPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenMainViewBase : public touchgfx::View<ScreenMainPresenter> {
 public:
  ScreenMainViewBase();
  ~ScreenMainViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box boxBackground;
  touchgfx::Image image1;
  touchgfx::Button buttonPicture;  // no bitmap: the view places it over the folder picture

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenMainViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
