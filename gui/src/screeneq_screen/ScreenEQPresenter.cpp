#include "gui/screeneq_screen/ScreenEQPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/model/Model.hpp"
#include "gui/screeneq_screen/ScreenEQView.hpp"

ScreenEQPresenter::ScreenEQPresenter(ScreenEQView& v) : view(v) {}

void ScreenEQPresenter::activate() { view.setEqualizer(model->getParentsSettings()); }

void ScreenEQPresenter::deactivate() {}

void ScreenEQPresenter::newParentSettings(const ModelParentsSettings& settings) {
  view.setEqualizer(settings);
}

void ScreenEQPresenter::forceScreenMain() { application().gotoScreenMainScreenNoTransition(); }

void ScreenEQPresenter::forceScreenGluecklich() {
  application().gotoScreenUsbDaScreenNoTransition();
}

void ScreenEQPresenter::forceScreenParent() { application().gotoScreenElternScreenNoTransition(); }

void ScreenEQPresenter::forceScreenTraurig() { application().gotoScreenUsbWegScreenNoTransition(); }

void ScreenEQPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}

void ScreenEQPresenter::newEqualizerValue(uint8_t band, int value) {
  model->newEqualizerValue(band, value);
}
