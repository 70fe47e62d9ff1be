// The presenter of the Overview screen: between its view and the model.
#pragma once

#include <cstdint>

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
  void buttonBackClicked();
  void buttonForwardClicked();
  // The picture in slot `slot` (0..5) of the page was touched.
  void buttonFolderPressed(uint8_t slot);

  // The core loaded the page's six pictures.
  void forceOverviewPictureUpdate() override;

  // The core's screen orders but the stick's (present, removed): those leave the overview
  // shown.
  void forceScreenMain() override;
  void forceScreenParent() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenOverviewView& view;
};
