/* Graphics framework: a screen that knows its presenter. */
#ifndef TOUCHGFX_MVP_VIEW_HPP
#define TOUCHGFX_MVP_VIEW_HPP

#include "touchgfx/Screen.hpp"

namespace touchgfx {

template <class T>
class View : public Screen {
 public:
  View() : Screen(), presenter(nullptr) {}
  void bind(T& newPresenter) { presenter = &newPresenter; }

 protected:
  T* presenter;
};

}  // namespace touchgfx

#endif
