// The parents' settings screen: maximum volume, 3D depth and speaker boost on sliders, position
// resume on a toggle. Every change goes to the core at once, with the whole settings record.
#pragma once

#include "gui/User/Mirror.hpp"
#include "gui/User/modelUserData.h"
#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"
#include "gui_generated/screeneltern_screen/ScreenElternViewBase.hpp"

class ScreenElternView : public ScreenElternViewBase {
 public:
  ScreenElternView();
  ~ScreenElternView() override = default;
  void setupScreen() override;
  void tearDownScreen() override;

  // Sets the 3D, maximum-volume and boost sliders, in this order; each reports its (clamped)
  // value, so each sends the record once. The toggle shows the stored position resume, so a
  // parent sees what is set; showing it sends nothing.
  void newParentSettings(const ModelParentsSettings& settings);

  void sliderChangedMaxVol(int value) override;
  void sliderChanged3d(int value) override;
  void sliderChangedSpkBoost(int value) override;
  void positionResumeChanged() override;

 protected:
  Mirror mirrorWidget;  // drawn last: turns the finished frame
};
