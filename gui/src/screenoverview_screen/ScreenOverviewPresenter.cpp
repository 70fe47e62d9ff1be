#include "gui/screenoverview_screen/ScreenOverviewPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenoverview_screen/ScreenOverviewView.hpp"

ScreenOverviewPresenter::ScreenOverviewPresenter(ScreenOverviewView& v) : view(v) {}

void ScreenOverviewPresenter::activate() {}

void ScreenOverviewPresenter::deactivate() {}

void ScreenOverviewPresenter::overviewScreenInit() { model->overviewScreenInit(); }

void ScreenOverviewPresenter::buttonBackClicked() { model->overviewButtonBackClicked(); }

void ScreenOverviewPresenter::buttonForwardClicked() { model->overviewButtonForwardClicked(); }

void ScreenOverviewPresenter::buttonFolderPressed(uint8_t slot) {
  model->overviewFolderSelected(slot);
}

void ScreenOverviewPresenter::forceOverviewPictureUpdate() { view.forceOverviewPictureUpdate(); }

void ScreenOverviewPresenter::forceScreenMain() {
  application().gotoScreenMainScreenNoTransition();
}

void ScreenOverviewPresenter::forceScreenParent() {
  application().gotoScreenElternScreenNoTransition();
}

void ScreenOverviewPresenter::forceScreenPowerOff() {
  application().gotoScreenPowerOffScreenNoTransition();
}
