// The presenter of the UsbDa screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenUsbDaView;

class ScreenUsbDaPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenUsbDaPresenter(ScreenUsbDaView& v);
  ~ScreenUsbDaPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenUsbDaView& view;
};
