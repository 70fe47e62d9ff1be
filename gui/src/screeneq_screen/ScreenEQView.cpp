#include "gui/screeneq_screen/ScreenEQView.hpp"

ScreenEQView::ScreenEQView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenEQView::setupScreen() { ScreenEQViewBase::setupScreen(); }

void ScreenEQView::tearDownScreen() { ScreenEQViewBase::tearDownScreen(); }
