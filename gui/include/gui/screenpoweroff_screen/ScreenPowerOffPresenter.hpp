// The presenter of the PowerOff screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenPowerOffView;

class ScreenPowerOffPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenPowerOffPresenter(ScreenPowerOffView& v);
  ~ScreenPowerOffPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // No screen order of the core is followed: this screen, once shown, stays.

 protected:
  ScreenPowerOffView& view;
};
