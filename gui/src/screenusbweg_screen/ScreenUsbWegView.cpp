#include "gui/screenusbweg_screen/ScreenUsbWegView.hpp"

ScreenUsbWegView::ScreenUsbWegView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenUsbWegView::setupScreen() { ScreenUsbWegViewBase::setupScreen(); }

void ScreenUsbWegView::tearDownScreen() { ScreenUsbWegViewBase::tearDownScreen(); }
