#include "gui/screenoverview_screen/ScreenOverviewView.hpp"

ScreenOverviewView::ScreenOverviewView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

// Asks the core for the pictures of the current page (BTN_Overview_Refresh).
void ScreenOverviewView::setupScreen() {
  ScreenOverviewViewBase::setupScreen();
  presenter->overviewScreenInit();
}

void ScreenOverviewView::tearDownScreen() { ScreenOverviewViewBase::tearDownScreen(); }
