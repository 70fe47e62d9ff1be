// The parents' screen's widgets, as the designer laid them out: the buttons to the main,
// about and equaliser screens on purple.
#pragma once

#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"

class ScreenElternViewBase : public touchgfx::View<ScreenElternPresenter> {
 public:
  ScreenElternViewBase();
  ~ScreenElternViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::ButtonWithLabel buttonClose;  // "Close": the main screen
  touchgfx::ButtonWithLabel buttonAbout;  // "About": the credits
  touchgfx::ButtonWithLabel buttonEQ;     // "Equalizer"

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenElternViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
