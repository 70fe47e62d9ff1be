#include "gui/screenpoweroff_screen/ScreenPowerOffView.hpp"

ScreenPowerOffView::ScreenPowerOffView() {}

void ScreenPowerOffView::setupScreen() { ScreenPowerOffViewBase::setupScreen(); }

void ScreenPowerOffView::tearDownScreen() { ScreenPowerOffViewBase::tearDownScreen(); }
