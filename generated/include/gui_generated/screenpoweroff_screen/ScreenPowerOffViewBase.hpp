// The power-off screen's widgets, as the designer laid them out: the note on dark grey.
#pragma once

#include "gui/screenpoweroff_screen/ScreenPowerOffPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenPowerOffViewBase : public touchgfx::View<ScreenPowerOffPresenter> {
 public:
  ScreenPowerOffViewBase();
  ~ScreenPowerOffViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::Image image1;
};
