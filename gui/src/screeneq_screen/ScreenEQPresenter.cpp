#include "gui/screeneq_screen/ScreenEQPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screeneq_screen/ScreenEQView.hpp"

ScreenEQPresenter::ScreenEQPresenter(ScreenEQView& v) : view(v) {}

void ScreenEQPresenter::activate() {}

void ScreenEQPresenter::deactivate() {}

void ScreenEQPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenEQPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenEQPresenter::forceScreenParent() { application().gotoScreenElternScreenNoTransition(); }

void ScreenEQPresenter::forceScreenTraurig() { application().gotoScreenUsbWegScreenNoTransition(); }

void ScreenEQPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
