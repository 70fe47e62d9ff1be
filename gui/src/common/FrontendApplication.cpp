#include "gui/common/FrontendApplication.hpp"

#include "gui/common/FrontendHeap.hpp"

FrontendApplication::FrontendApplication(FrontendHeap& heap)
    : frontendHeap(heap), model(heap.model) {}

void FrontendApplication::handleTickEvent() {
  model.tick();
  touchgfx::Application::handleTickEvent();
}

FrontendHeap& FrontendHeap::getInstance() {
  static FrontendHeap instance;
  return instance;
}
