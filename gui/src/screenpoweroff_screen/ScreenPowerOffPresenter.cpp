#include "gui/screenpoweroff_screen/ScreenPowerOffPresenter.hpp"

#include "gui/screenpoweroff_screen/ScreenPowerOffView.hpp"

ScreenPowerOffPresenter::ScreenPowerOffPresenter(ScreenPowerOffView& v) : view(v) {}

void ScreenPowerOffPresenter::activate() {}

void ScreenPowerOffPresenter::deactivate() {}
