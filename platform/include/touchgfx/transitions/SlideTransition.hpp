/* Graphics framework: the new screen slides in over a number of frames (20 by default) while
 * a picture of the old one slides out ahead of it, in the given direction (NORTH: upwards,
 * the new screen coming in from below). The movement slows towards its end.
 *
 * The picture of the old screen is taken when the transition is made, from the layout as it
 * was last drawn; it lies beneath the new screen's widgets, so a widget that works on the
 * finished frame (the Mirror) treats both screens alike in every frame. */
#ifndef TOUCHGFX_TRANSITIONS_SLIDETRANSITION_HPP
#define TOUCHGFX_TRANSITIONS_SLIDETRANSITION_HPP

#include <stdint.h>

#include "touchgfx/Callback.hpp"
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx/transitions/Transition.hpp"
#include "touchgfx/widgets/SnapshotWidget.hpp"

namespace touchgfx {

enum Direction { EAST, WEST, NORTH, SOUTH };

namespace detail {
/* How far a slide of `total` pixels has gone after `step` of `steps` steps (slowing down
 * towards the end; `total` at the last step). */
int16_t slideDistance(uint16_t step, uint16_t steps, int16_t total);
}  // namespace detail

template <Direction templateDirection>
class SlideTransition : public Transition {
 public:
  explicit SlideTransition(const uint8_t transitionSteps = 20)
      : Transition(),
        snapshot(),
        animationSteps(transitionSteps == 0 ? 1 : transitionSteps),
        animationCounter(0),
        calculatedValue(0),
        snapshotAdded(false) {
    snapshot.setPosition(0, 0, static_cast<int16_t>(HAL::DISPLAY_WIDTH),
                         static_cast<int16_t>(HAL::DISPLAY_HEIGHT));
    snapshot.makeSnapshot();
  }

  void init() override {
    Transition::init();
    if (screenContainer == nullptr) return;
    // The new screen starts one screen away, against the direction of movement.
    Callback<SlideTransition, Drawable&> move(this, &SlideTransition::initMoveDrawable);
    screenContainer->forEachChild(&move);
    screenContainer->insert(nullptr, snapshot);
    snapshotAdded = true;
  }

  void handleTickEvent() override {
    if (done || screenContainer == nullptr) return;
    ++animationCounter;
    const int16_t total = targetValue();
    const int16_t newValue = detail::slideDistance(animationCounter, animationSteps, total);
    const int16_t delta = static_cast<int16_t>(newValue - calculatedValue);
    calculatedValue = newValue;
    moveX = 0;
    moveY = 0;
    switch (templateDirection) {
      case EAST: moveX = delta; break;
      case WEST: moveX = static_cast<int16_t>(-delta); break;
      case NORTH: moveY = static_cast<int16_t>(-delta); break;
      case SOUTH: moveY = delta; break;
    }
    Callback<SlideTransition, Drawable&> move(this, &SlideTransition::moveChild);
    screenContainer->forEachChild(&move);
    invalidate();
    if (animationCounter >= animationSteps) {
      done = true;
      removeSnapshot();
    }
  }

  void tearDown() override { removeSnapshot(); }

 private:
  static int16_t targetValue() {
    return static_cast<int16_t>(templateDirection == EAST || templateDirection == WEST
                                    ? HAL::DISPLAY_WIDTH
                                    : HAL::DISPLAY_HEIGHT);
  }
  void initMoveDrawable(Drawable& d) {
    const int16_t t = targetValue();
    switch (templateDirection) {
      case EAST: d.setX(static_cast<int16_t>(d.getX() - t)); break;
      case WEST: d.setX(static_cast<int16_t>(d.getX() + t)); break;
      case NORTH: d.setY(static_cast<int16_t>(d.getY() + t)); break;
      case SOUTH: d.setY(static_cast<int16_t>(d.getY() - t)); break;
    }
  }
  void moveChild(Drawable& d) {
    d.setXY(static_cast<int16_t>(d.getX() + moveX), static_cast<int16_t>(d.getY() + moveY));
  }
  void removeSnapshot() {
    if (snapshotAdded && screenContainer != nullptr) screenContainer->remove(snapshot);
    snapshotAdded = false;
  }

  SnapshotWidget snapshot;
  uint16_t animationSteps;
  uint16_t animationCounter;
  int16_t calculatedValue;
  int16_t moveX = 0;
  int16_t moveY = 0;
  bool snapshotAdded;
};

}  // namespace touchgfx

#endif
