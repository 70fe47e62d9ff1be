// The presenter of the Eltern screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenElternView;

class ScreenElternPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenElternPresenter(ScreenElternView& v);
  ~ScreenElternPresenter() override = default;

  // Shows the model's copy of the settings (each slider reports its value back).
  void activate() override;
  void deactivate() override;

  // The settings the core sent with its PageParent record.
  void newParentSettings(const ModelParentsSettings& settings) override;

  // The core's screen orders, all five followed.
  void forceScreenMain() override;
  void forceScreenGluecklich() override;
  void forceScreenParent() override;
  void forceScreenTraurig() override;
  void forceScreenPowerOff() override;

  // The view's changes, each sent to the core with the whole record.
  void newMaxVol(int value);
  void newEffect3d(int value);
  void newSpkBoost(int value);
  void positionResumeChanged(bool on);

 protected:
  ScreenElternView& view;
};
