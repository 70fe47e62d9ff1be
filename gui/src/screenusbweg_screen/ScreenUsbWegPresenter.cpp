#include "gui/screenusbweg_screen/ScreenUsbWegPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenusbweg_screen/ScreenUsbWegView.hpp"

ScreenUsbWegPresenter::ScreenUsbWegPresenter(ScreenUsbWegView& v) : view(v) {}

void ScreenUsbWegPresenter::activate() {}

void ScreenUsbWegPresenter::deactivate() {}

void ScreenUsbWegPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenUsbWegPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenUsbWegPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenUsbWegPresenter::forceScreenTraurig() {
  application().gotoScreenUsbWegScreenNoTransition();
}

void ScreenUsbWegPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
