// The static memory of the user interface: one object, created on first use.
#pragma once

#include "gui/common/FrontendApplication.hpp"
#include "gui/model/Model.hpp"

class FrontendHeap {
 public:
  static FrontendHeap& getInstance();
  FrontendApplication app;
  Model model;

 private:
  FrontendHeap() : app(*this) {}
};
