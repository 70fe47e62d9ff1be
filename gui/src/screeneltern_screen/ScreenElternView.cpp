#include "gui/screeneltern_screen/ScreenElternView.hpp"

ScreenElternView::ScreenElternView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenElternView::setupScreen() { ScreenElternViewBase::setupScreen(); }

void ScreenElternView::tearDownScreen() { ScreenElternViewBase::tearDownScreen(); }

void ScreenElternView::newParentSettings(const ModelParentsSettings& settings) {
  // The record may be the model's own copy, which each slider's report writes into: every
  // value is read just before its slider is set.
  slider3d.setValue(settings.effect3d);
  sliderMaxVol.setValue(settings.maxVolume);
  sliderSpkBoost.setValue(settings.spkBoost);
  if (toggleButtonPositionResume.getState() != settings.positionResume) {
    toggleButtonPositionResume.forceState(settings.positionResume);
    toggleButtonPositionResume.invalidate();
  }
}

void ScreenElternView::sliderChangedMaxVol(int value) { presenter->newMaxVol(value); }

void ScreenElternView::sliderChanged3d(int value) { presenter->newEffect3d(value); }

void ScreenElternView::sliderChangedSpkBoost(int value) { presenter->newSpkBoost(value); }

// On when the toggle shows its pressed bitmap.
void ScreenElternView::positionResumeChanged() {
  presenter->positionResumeChanged(toggleButtonPositionResume.getState());
}
