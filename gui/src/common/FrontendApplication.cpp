#include "gui/common/FrontendApplication.hpp"

#include "gui/common/FrontendHeap.hpp"

void FrontendApplication::handleTickEvent() {
  model.tick();
  FrontendApplicationBase::handleTickEvent();
}

void FrontendApplication::draw(touchgfx::Rect& rect) { FrontendApplicationBase::draw(rect); }

FrontendHeap::FrontendHeap()
    : FrontendHeapBase(presenters, views, transitions, app), app(model, *this), model() {
  gotoStartScreen(app);
}

FrontendHeap& FrontendHeap::getInstance() {
  static FrontendHeap instance;
  return instance;
}
