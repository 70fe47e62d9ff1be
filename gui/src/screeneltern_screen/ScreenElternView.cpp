#include "gui/screeneltern_screen/ScreenElternView.hpp"

ScreenElternView::ScreenElternView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenElternView::setupScreen() { ScreenElternViewBase::setupScreen(); }

void ScreenElternView::tearDownScreen() { ScreenElternViewBase::tearDownScreen(); }
