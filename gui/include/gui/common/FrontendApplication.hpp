// The graphics application: each frame the model's tick (the core's requests become the
// shown screen's calls) before the framework's own.
#pragma once

#include "gui/model/Model.hpp"
#include "gui_generated/common/FrontendApplicationBase.hpp"
#include "touchgfx/hal/Types.hpp"

class FrontendHeap;

class FrontendApplication : public FrontendApplicationBase {
 public:
  // The heap builds the application before the model: only references are taken here.
  FrontendApplication(Model& m, FrontendHeap& heap) : FrontendApplicationBase(m, heap) {}
  ~FrontendApplication() override {}

  void handleTickEvent() override;
  void draw(touchgfx::Rect& rect) override;
};

// The application, for the screens' changes of screen.
inline FrontendApplication& application() {
  return *static_cast<FrontendApplication*>(touchgfx::Application::getInstance());
}
