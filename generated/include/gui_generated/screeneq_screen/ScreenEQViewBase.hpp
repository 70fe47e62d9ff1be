// The equaliser screen's widgets, as the designer laid them out: the button back to the
// parents' screen on purple.
#pragma once

#include "gui/screeneq_screen/ScreenEQPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/Callback.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"

class ScreenEQViewBase : public touchgfx::View<ScreenEQPresenter> {
 public:
  ScreenEQViewBase();
  ~ScreenEQViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::ButtonWithLabel buttonWithLabel1;  // "Back": the parents' screen

 private:
  void buttonCallbackHandler(const touchgfx::AbstractButton& src);
  touchgfx::Callback<ScreenEQViewBase, const touchgfx::AbstractButton&> buttonCallback;
};
