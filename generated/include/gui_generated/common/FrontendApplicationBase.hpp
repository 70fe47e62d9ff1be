// The application's screen changes. Each gotoScreen... operation stores its ...Impl in
// transitionCallback and hands it to the framework as the pending screen transition; the
// framework runs it at the start of the next frame, where it builds the screen in the
// heap's slots.
#pragma once

#include "mvp/MVPApplication.hpp"
#include "touchgfx/Callback.hpp"

class FrontendHeap;
class Model;

class FrontendApplicationBase : public touchgfx::MVPApplication {
 public:
  FrontendApplicationBase(Model& m, FrontendHeap& heap);
  ~FrontendApplicationBase() override {}

  void gotoScreenMainScreenNoTransition();
  void gotoScreenUsbDaScreenNoTransition();
  void gotoScreenUsbWegScreenNoTransition();
  void gotoScreenAboutScreenNoTransition();
  void gotoScreenElternScreenSlideTransitionNorth();  // 20 frames, the new screen from below
  void gotoScreenElternScreenNoTransition();
  void gotoScreenEQScreenNoTransition();
  void gotoScreenOverviewScreenNoTransition();
  void gotoScreenPowerOffScreenNoTransition();

 protected:
  touchgfx::Callback<FrontendApplicationBase> transitionCallback;
  FrontendHeap& frontendHeap;
  Model& model;

 private:
  void request(void (FrontendApplicationBase::*impl)());

  void gotoScreenMainScreenNoTransitionImpl();
  void gotoScreenUsbDaScreenNoTransitionImpl();
  void gotoScreenUsbWegScreenNoTransitionImpl();
  void gotoScreenAboutScreenNoTransitionImpl();
  void gotoScreenElternScreenSlideTransitionNorthImpl();
  void gotoScreenElternScreenNoTransitionImpl();
  void gotoScreenEQScreenNoTransitionImpl();
  void gotoScreenOverviewScreenNoTransitionImpl();
  void gotoScreenPowerOffScreenNoTransitionImpl();
};
