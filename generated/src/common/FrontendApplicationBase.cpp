#include "gui_generated/common/FrontendApplicationBase.hpp"

#include "gui/common/FrontendHeap.hpp"
#include "touchgfx/transitions/NoTransition.hpp"
#include "touchgfx/transitions/SlideTransition.hpp"

FrontendApplicationBase::FrontendApplicationBase(Model& m, FrontendHeap& heap)
    : touchgfx::MVPApplication(), transitionCallback(), frontendHeap(heap), model(m) {}

void FrontendApplicationBase::request(void (FrontendApplicationBase::*impl)()) {
  transitionCallback = touchgfx::Callback<FrontendApplicationBase>(this, impl);
  pendingScreenTransitionCallback = &transitionCallback;
}

void FrontendApplicationBase::gotoScreenMainScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenMainScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenMainScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenMainView, ScreenMainPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenUsbDaScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenUsbDaScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenUsbDaScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenUsbDaView, ScreenUsbDaPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenUsbWegScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenUsbWegScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenUsbWegScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenUsbWegView, ScreenUsbWegPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenAboutScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenAboutScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenAboutScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenAboutView, ScreenAboutPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenElternScreenSlideTransitionNorth() {
  request(&FrontendApplicationBase::gotoScreenElternScreenSlideTransitionNorthImpl);
}
void FrontendApplicationBase::gotoScreenElternScreenSlideTransitionNorthImpl() {
  touchgfx::makeTransition<ScreenElternView, ScreenElternPresenter,
                           touchgfx::SlideTransition<touchgfx::NORTH>, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenElternScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenElternScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenElternScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenElternView, ScreenElternPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenEQScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenEQScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenEQScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenEQView, ScreenEQPresenter, touchgfx::NoTransition, Model>(
      &currentScreen, &currentPresenter, frontendHeap, &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenOverviewScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenOverviewScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenOverviewScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenOverviewView, ScreenOverviewPresenter, touchgfx::NoTransition,
                           Model>(&currentScreen, &currentPresenter, frontendHeap,
                                  &currentTransition, &model);
}

void FrontendApplicationBase::gotoScreenPowerOffScreenNoTransition() {
  request(&FrontendApplicationBase::gotoScreenPowerOffScreenNoTransitionImpl);
}
void FrontendApplicationBase::gotoScreenPowerOffScreenNoTransitionImpl() {
  touchgfx::makeTransition<ScreenPowerOffView, ScreenPowerOffPresenter, touchgfx::NoTransition,
                           Model>(&currentScreen, &currentPresenter, frontendHeap,
                                  &currentTransition, &model);
}
