// The static memory of the user interface, one object made on first use: one slot for the
// presenter, one for the view and one for the transition of the one screen shown, each
// sized for the largest of its kind, then the application and the model. A screen change
// builds the new screen in the same slots; nothing comes from a heap.
#pragma once

#include "common/Partition.hpp"
#include "gui/common/FrontendApplication.hpp"
#include "gui/model/Model.hpp"
#include "gui_generated/common/FrontendHeapBase.hpp"

class FrontendHeap : public FrontendHeapBase {
 public:
  static FrontendHeap& getInstance();

  touchgfx::Partition<GeneratedPresenterTypes, 1> presenters;
  touchgfx::Partition<GeneratedViewTypes, 1> views;
  touchgfx::Partition<GeneratedTransitionTypes, 1> transitions;
  FrontendApplication app;
  Model model;

 private:
  FrontendHeap();
};
