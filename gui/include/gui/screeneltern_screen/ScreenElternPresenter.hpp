// The presenter of the Eltern screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenElternView;

class ScreenElternPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenElternPresenter(ScreenElternView& v);
  ~ScreenElternPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenElternView& view;
};
