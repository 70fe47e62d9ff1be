// The presenter of the About screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenAboutView;

class ScreenAboutPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenAboutPresenter(ScreenAboutView& v);
  ~ScreenAboutPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenAboutView& view;
};
