#include "gui/screenmain_screen/ScreenMainPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenmain_screen/ScreenMainView.hpp"

ScreenMainPresenter::ScreenMainPresenter(ScreenMainView& v) : view(v) {}

void ScreenMainPresenter::activate() { model->refresh(); }

void ScreenMainPresenter::deactivate() {}

void ScreenMainPresenter::mainScreenInit() { model->mainScreenInit(); }

void ScreenMainPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenMainPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenMainPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenMainPresenter::forceScreenTraurig() {
  application().gotoScreenUsbWegScreenNoTransition();
}

void ScreenMainPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
