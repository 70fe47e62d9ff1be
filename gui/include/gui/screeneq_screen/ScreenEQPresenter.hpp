// The presenter of the EQ screen: between its view and the model.
#pragma once

#include "gui/model/ModelListener.hpp"
#include "mvp/Presenter.hpp"

class ScreenEQView;

class ScreenEQPresenter : public touchgfx::Presenter, public ModelListener {
 public:
  explicit ScreenEQPresenter(ScreenEQView& v);
  ~ScreenEQPresenter() override = default;

  // Shows the model's copy of the five bands (each slider reports its value back).
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

  // A band's slider (band 0..4, lowest first), sent to the core with the whole record.
  void newEqualizerValue(uint8_t band, int value);

 protected:
  ScreenEQView& view;
};
