#include "gui/screenmain_screen/ScreenMainPresenter.hpp"

#include "gui/common/FrontendApplication.hpp"
#include "gui/screenmain_screen/ScreenMainView.hpp"

ScreenMainPresenter::ScreenMainPresenter(ScreenMainView& v) : view(v) {}

void ScreenMainPresenter::activate() { model->refresh(); }

void ScreenMainPresenter::deactivate() {}

void ScreenMainPresenter::mainScreenInit() { model->mainScreenInit(); }

void ScreenMainPresenter::ordnerVor() { model->ordnerVor(); }

void ScreenMainPresenter::ordnerZurueck() { model->ordnerZurueck(); }

void ScreenMainPresenter::folderButton(uint8_t n) { model->folderButton(n); }

void ScreenMainPresenter::trackVor() { model->trackVor(); }

void ScreenMainPresenter::trackZurueck() { model->trackZurueck(); }

void ScreenMainPresenter::trackPause() { model->trackPause(); }

void ScreenMainPresenter::newMainFolder(DirEntry& dirEntry, bool leftEnabled, bool rightEnabled) {
  view.showFolderButtons(dirEntry.subfolderCount, leftEnabled, rightEnabled);
}

void ScreenMainPresenter::forceTitlePictureUpdate() { view.setTitlePicture(); }

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
