#include "gui/screenabout_screen/ScreenAboutView.hpp"

ScreenAboutView::ScreenAboutView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenAboutView::setupScreen() { ScreenAboutViewBase::setupScreen(); }

void ScreenAboutView::tearDownScreen() { ScreenAboutViewBase::tearDownScreen(); }
