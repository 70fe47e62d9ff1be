// The presenter of the EQ screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenEQView;

class ScreenEQPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenEQPresenter(ScreenEQView& v);
  ~ScreenEQPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenEQView& view;
};
