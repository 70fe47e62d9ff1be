/* Graphics framework: a screen, the root of what is shown. Its widgets are added to its root
 * container, which covers the whole display. A press goes to the top-most visible touchable
 * widget under the finger; the drags and the release that follow go to that same widget.
 *
 * Drawing an area: the widgets inside it are drawn from the bottom up, each once, but a
 * widget lying wholly beneath the solid part of a widget above it is skipped there. */
#ifndef TOUCHGFX_SCREEN_HPP
#define TOUCHGFX_SCREEN_HPP

#include <stdint.h>

#include "touchgfx/containers/Container.hpp"
#include "touchgfx/events/ClickEvent.hpp"
#include "touchgfx/events/DragEvent.hpp"

namespace touchgfx {

class Transition;

class Screen {
 public:
  Screen();
  virtual ~Screen() {}
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  /* Draws the whole screen. */
  void draw();
  /* Draws the area `rect` (absolute). */
  void draw(Rect& rect);
  void startSMOC(const Rect& invalidatedArea);

  virtual void setupScreen() {}
  virtual void afterTransition() {}
  virtual void tearDownScreen() {}

  virtual void handleClickEvent(const ClickEvent& event);
  virtual void handleDragEvent(const DragEvent& event);
  virtual void handleTickEvent() {}
  virtual void handleKeyEvent(uint8_t key) { (void)key; }

  void bindTransition(Transition& trans);
  Container& getRootContainer() { return container; }
  void add(Drawable& d) { container.add(d); }
  void insert(Drawable* previous, Drawable& d) { container.insert(previous, d); }
  void remove(Drawable& d) { container.remove(d); }

 protected:
  Container container;

 private:
  void markDrawAreas(const Rect& area, Drawable* head, Drawable* from);

  Drawable* focus;
  int pieceBudget = 0;
};

}  // namespace touchgfx

#endif
