#include "gui/screeneq_screen/ScreenEQView.hpp"

ScreenEQView::ScreenEQView() {
  mirrorWidget.setPosition(0, 0, 272, 480);
  add(mirrorWidget);
}

void ScreenEQView::setupScreen() { ScreenEQViewBase::setupScreen(); }

void ScreenEQView::tearDownScreen() { ScreenEQViewBase::tearDownScreen(); }

void ScreenEQView::setEqualizer(const ModelParentsSettings& settings) {
  // The record may be the model's own copy, which each slider's report writes into: every
  // band is read just before its slider is set.
  slider1.setValue(settings.equalizer[0]);
  slider2.setValue(settings.equalizer[1]);
  slider3.setValue(settings.equalizer[2]);
  slider4.setValue(settings.equalizer[3]);
  slider5.setValue(settings.equalizer[4]);
}

void ScreenEQView::sliderValue1(int value) { presenter->newEqualizerValue(0, value); }

void ScreenEQView::sliderValue2(int value) { presenter->newEqualizerValue(1, value); }

void ScreenEQView::sliderValue3(int value) { presenter->newEqualizerValue(2, value); }

void ScreenEQView::sliderValue4(int value) { presenter->newEqualizerValue(3, value); }

void ScreenEQView::sliderValue5(int value) { presenter->newEqualizerValue(4, value); }
