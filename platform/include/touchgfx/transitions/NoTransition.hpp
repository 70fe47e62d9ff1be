/* Graphics framework: the new screen is shown at once. */
#ifndef TOUCHGFX_TRANSITIONS_NOTRANSITION_HPP
#define TOUCHGFX_TRANSITIONS_NOTRANSITION_HPP

#include "touchgfx/transitions/Transition.hpp"

namespace touchgfx {

class NoTransition : public Transition {
 public:
  NoTransition() : Transition() { done = true; }
};

}  // namespace touchgfx

#endif
