// The graphics application: runs the model's tick before the framework's own each frame.
#pragma once

#include "gui/model/Model.hpp"
#include "touchgfx/Application.hpp"

class FrontendHeap;

class FrontendApplication : public touchgfx::Application {
 public:
  // The heap constructs the application before the model: only references are taken here.
  explicit FrontendApplication(FrontendHeap& heap);
  void handleTickEvent() override;

 private:
  [[maybe_unused]] FrontendHeap& frontendHeap;  // the screens' memory, for screen changes
  Model& model;
};
