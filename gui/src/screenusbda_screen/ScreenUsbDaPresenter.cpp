#include "gui/screenusbda_screen/ScreenUsbDaPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenusbda_screen/ScreenUsbDaView.hpp"

ScreenUsbDaPresenter::ScreenUsbDaPresenter(ScreenUsbDaView& v) : view(v) {}

void ScreenUsbDaPresenter::activate() {}

void ScreenUsbDaPresenter::deactivate() {}

void ScreenUsbDaPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenUsbDaPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenUsbDaPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenUsbDaPresenter::forceScreenTraurig() {
  application().gotoScreenUsbWegScreenNoTransition();
}

void ScreenUsbDaPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
