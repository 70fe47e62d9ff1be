// The about screen's widgets, as the designer laid them out: the credits and a button back to
// the parents' screen, on purple.
#pragma once

#include "gui/screenabout_screen/ScreenAboutPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"
#include "touchgfx/widgets/TextArea.hpp"

class ScreenAboutViewBase : public touchgfx::View<ScreenAboutPresenter> {
 public:
  ScreenAboutViewBase();
  ~ScreenAboutViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::ButtonWithLabel buttonWithLabel1;  // "Close": back to the parents' screen
  touchgfx::TextArea textArea1;                // the credits

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenAboutViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
