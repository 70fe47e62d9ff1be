// The stick-present screen's widgets, as the designer laid them out: the picture of the
// happy stick on white.
#pragma once

#include "gui/screenusbda_screen/ScreenUsbDaPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenUsbDaViewBase : public touchgfx::View<ScreenUsbDaPresenter> {
 public:
  ScreenUsbDaViewBase();
  ~ScreenUsbDaViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::Image image1;
};
