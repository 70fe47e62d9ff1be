// The stick-removed screen's widgets, as the designer laid them out: the picture of the
// missing stick on white.
#pragma once

#include "gui/screenusbweg_screen/ScreenUsbWegPresenter.hpp"
#include "mvp/View.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Image.hpp"

class ScreenUsbWegViewBase : public touchgfx::View<ScreenUsbWegPresenter> {
 public:
  ScreenUsbWegViewBase();
  ~ScreenUsbWegViewBase() override = default;
  void setupScreen() override {}

 protected:
  touchgfx::Box box1;
  touchgfx::Image image1;
};
