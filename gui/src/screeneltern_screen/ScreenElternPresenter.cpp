#include "gui/screeneltern_screen/ScreenElternPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/model/Model.hpp"
#include "gui/screeneltern_screen/ScreenElternView.hpp"

ScreenElternPresenter::ScreenElternPresenter(ScreenElternView& v) : view(v) {}

void ScreenElternPresenter::activate() { view.newParentSettings(model->getParentsSettings()); }

void ScreenElternPresenter::deactivate() {}

void ScreenElternPresenter::newParentSettings(const ModelParentsSettings& settings) {
  view.newParentSettings(settings);
}

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

void ScreenElternPresenter::newMaxVol(int value) { model->newMaxVol(value); }

void ScreenElternPresenter::newEffect3d(int value) { model->newEffect3d(value); }

void ScreenElternPresenter::newSpkBoost(int value) { model->newSpkBoost(value); }

void ScreenElternPresenter::positionResumeChanged(bool on) { model->positionResumeChanged(on); }
