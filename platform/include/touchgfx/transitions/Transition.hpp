/* Graphics framework: the passage from one screen to the next. It runs on the application's
 * ticks until it is done; then the new screen's afterTransition() follows. */
#ifndef TOUCHGFX_TRANSITIONS_TRANSITION_HPP
#define TOUCHGFX_TRANSITIONS_TRANSITION_HPP

#include "touchgfx/containers/Container.hpp"

namespace touchgfx {

class Transition {
 public:
  Transition() : screenContainer(nullptr), done(false) {}
  virtual ~Transition() {}
  Transition(const Transition&) = delete;
  Transition& operator=(const Transition&) = delete;

  virtual void handleTickEvent() {}
  bool isDone() const { return done; }
  /* Before the transition is destroyed (the next screen switch). */
  virtual void tearDown() {}
  /* Once the new screen is set up. */
  virtual void init() {}
  /* Invalidates the whole screen. */
  virtual void invalidate();
  void setScreenContainer(Container& cont) { screenContainer = &cont; }

 protected:
  Container* screenContainer;
  bool done;
};

}  // namespace touchgfx

#endif
