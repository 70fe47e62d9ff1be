/* Graphics framework: the application object whose tick the frame loop drives. It holds the
 * screen shown and its transition, passes touches and keys to the screen, collects the
 * invalidated area of a frame and draws it. */
#ifndef TOUCHGFX_APPLICATION_HPP
#define TOUCHGFX_APPLICATION_HPP

#include <stdint.h>

#include "touchgfx/Drawable.hpp"
#include "touchgfx/events/ClickEvent.hpp"
#include "touchgfx/events/DragEvent.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Screen;
class Transition;

class Application {
 public:
  /* The one application, registered by its construction. */
  static Application* getInstance() { return instance; }
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Screen* getCurrentScreen() { return currentScreen; }

  /* Once per frame, after the display's vertical sync: the transition's step (and, once it
   * is done, the screen's afterTransition), the screen's tick, the timer widgets' ticks. */
  virtual void handleTickEvent();
  /* Touches and keys go to the screen shown; touches wait while a transition runs. */
  virtual void handleClickEvent(const ClickEvent& event);
  virtual void handleDragEvent(const DragEvent& event);
  virtual void handleKeyEvent(uint8_t c);
  /* The frame's transition point: a screen change asked for since the last one happens
   * here. */
  virtual void handlePendingScreenTransition() {}

  /* Draws the area `rect` (absolute) of the screen shown. */
  virtual void draw(Rect& rect);
  /* Draws what was invalidated since the last frame, if anything. */
  void drawCachedAreas();
  /* The whole screen, or an area of it, is to be redrawn in the next frame. */
  void invalidate();
  void invalidateArea(Rect area);

  /* Widgets that get a tick every frame (at most 32); forgotten at every screen switch. */
  void registerTimerWidget(Drawable* w);
  void unregisterTimerWidget(const Drawable* w);
  void clearAllTimerWidgets();

  /* A new screen and transition are in place (makeTransition): the screen's afterTransition
   * follows once the transition is done. */
  void screenSwitched();

  static const uint16_t MAX_TIMER_WIDGETS = 32;

 protected:
  Application();

  Screen* currentScreen;
  Transition* currentTransition;
  bool transitionHandled;

 private:
  static Application* instance;
  Rect cachedArea;
  Drawable* timerWidgets[MAX_TIMER_WIDGETS];
  uint16_t timerWidgetCount;
};

}  // namespace touchgfx

#endif
