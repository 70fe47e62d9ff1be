#include "gui/screenusbda_screen/ScreenUsbDaView.hpp"

ScreenUsbDaView::ScreenUsbDaView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenUsbDaView::setupScreen() { ScreenUsbDaViewBase::setupScreen(); }

void ScreenUsbDaView::tearDownScreen() { ScreenUsbDaViewBase::tearDownScreen(); }
