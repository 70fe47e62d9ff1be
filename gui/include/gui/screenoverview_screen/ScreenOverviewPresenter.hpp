// The presenter of the Overview screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenOverviewView;

class ScreenOverviewPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenOverviewPresenter(ScreenOverviewView& v);
  ~ScreenOverviewPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The view's requests to the model.
  void overviewScreenInit();

  // The core's screen orders but the stick's (present, removed): those leave the overview
  // shown.
  void forceScreenMain() override;
  void forceScreenParent() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenOverviewView& view;
};
