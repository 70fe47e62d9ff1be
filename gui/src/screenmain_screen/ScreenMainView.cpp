#include "gui/screenmain_screen/ScreenMainView.hpp"

#include "gui/common/FrontendApplication.hpp"

ScreenMainView::ScreenMainView() {
  // The picture button lies over the folder picture, invisible but touchable.
  remove(buttonPicture);
  add(buttonPicture);
  buttonPicture.setPosition(73, 0, 128, 128);
  buttonPicture.setAlpha(0);

  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenMainView::setupScreen() {
  ScreenMainViewBase::setupScreen();
  presenter->mainScreenInit();
}

void ScreenMainView::tearDownScreen() { ScreenMainViewBase::tearDownScreen(); }

void ScreenMainView::handleKeyEvent(uint8_t key) {
  if (key == KEY_POWER_OFF) application().gotoScreenPowerOffScreenNoTransition();
}
