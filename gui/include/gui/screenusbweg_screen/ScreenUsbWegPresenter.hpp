// The presenter of the UsbWeg screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenUsbWegView;

class ScreenUsbWegPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenUsbWegPresenter(ScreenUsbWegView& v);
  ~ScreenUsbWegPresenter() override = default;

  void activate() override;
  void deactivate() override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

 protected:
  ScreenUsbWegView& view;
};
