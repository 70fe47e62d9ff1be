#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screeneltern_screen/ScreenElternView.hpp"

ScreenElternPresenter::ScreenElternPresenter(ScreenElternView& v) : view(v) {}

void ScreenElternPresenter::activate() {}

void ScreenElternPresenter::deactivate() {}

void ScreenElternPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenElternPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenElternPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenElternPresenter::forceScreenTraurig() {
  application().gotoScreenUsbWegScreenNoTransition();
}

void ScreenElternPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
