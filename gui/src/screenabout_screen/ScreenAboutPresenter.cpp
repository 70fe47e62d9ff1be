#include "gui/screenabout_screen/ScreenAboutPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenabout_screen/ScreenAboutView.hpp"

ScreenAboutPresenter::ScreenAboutPresenter(ScreenAboutView& v) : view(v) {}

void ScreenAboutPresenter::activate() {}

void ScreenAboutPresenter::deactivate() {}

void ScreenAboutPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenAboutPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenAboutPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenAboutPresenter::forceScreenTraurig() {
  application().gotoScreenUsbWegScreenNoTransition();
}

void ScreenAboutPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
