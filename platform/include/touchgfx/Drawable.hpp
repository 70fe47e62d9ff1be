/* Graphics framework: anything that can be drawn on a screen. A drawable has a rectangle in
 * its parent's coordinates, can be visible or hidden, touchable or not, and draws the part of
 * itself it is asked for. Its solid rectangle (the part it covers completely) lets the
 * framework skip whatever lies beneath. */
#ifndef TOUCHGFX_DRAWABLE_HPP
#define TOUCHGFX_DRAWABLE_HPP

#include <stdint.h>

#include "touchgfx/events/ClickEvent.hpp"
#include "touchgfx/events/DragEvent.hpp"
#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Container;
class Screen;

class Drawable {
 public:
  Drawable()
      : rect(),
        parent(nullptr),
        nextSibling(nullptr),
        nextDrawChainElement(nullptr),
        cachedAbsX(0),
        cachedAbsY(0),
        cachedVisibleRect(),
        cachedDrawArea(),
        touchable(false),
        visible(true) {}
  /* A drawable that is destroyed while it is in a container leaves it. */
  virtual ~Drawable();
  Drawable(const Drawable&) = delete;
  Drawable& operator=(const Drawable&) = delete;

  /* Draws the part `invalidatedArea` (relative to this drawable) into the frame. */
  virtual void draw(const Rect& invalidatedArea) const = 0;
  /* The part of this drawable (relative to it) that it covers completely. */
  virtual Rect getSolidRect() const = 0;
  /* Asks for `invalidatedArea` (relative to this drawable, clipped to it) to be redrawn in
   * the next frame. */
  virtual void invalidateRect(Rect& invalidatedArea) const;
  /* Asks for the whole drawable to be redrawn in the next frame. */
  virtual void invalidate() const;

  Drawable* getNextSibling() { return nextSibling; }
  virtual Drawable* getFirstChild() { return nullptr; }
  Drawable* getParent() const { return parent; }

  const Rect& getRect() const { return rect; }
  Rect getAbsoluteRect() const;
  virtual void translateRectToAbsolute(Rect& r) const;
  Rect getSolidRectAbsolute();

  int16_t getX() const { return rect.x; }
  int16_t getY() const { return rect.y; }
  int16_t getWidth() const { return rect.width; }
  int16_t getHeight() const { return rect.height; }

  virtual void setX(int16_t x) { rect.x = x; }
  virtual void setY(int16_t y) { rect.y = y; }
  void setXY(int16_t x, int16_t y) {
    setX(x);
    setY(y);
  }
  virtual void setWidth(int16_t width) { rect.width = width; }
  virtual void setHeight(int16_t height) { rect.height = height; }
  void setWidthHeight(int16_t width, int16_t height) {
    setWidth(width);
    setHeight(height);
  }
  void setPosition(int16_t x, int16_t y, int16_t width, int16_t height) {
    setXY(x, y);
    setWidthHeight(width, height);
  }
  /* Moves by (x, y), invalidating where the drawable was and where it is now. */
  virtual void moveRelative(int16_t x, int16_t y);
  virtual void moveTo(int16_t x, int16_t y) {
    moveRelative(static_cast<int16_t>(x - rect.x), static_cast<int16_t>(y - rect.y));
  }

  void setVisible(bool v) { visible = v; }
  bool isVisible() const { return visible; }
  void setTouchable(bool t) { touchable = t; }
  bool isTouchable() const { return touchable; }

  /* The top-most visible touchable drawable at (x, y) (relative to this one) is stored in
   * `last`; left alone when there is none. */
  virtual void getLastChild(int16_t x, int16_t y, Drawable** last) = 0;

  /* Events, relative to this drawable. */
  virtual void handleClickEvent(const ClickEvent& event) { (void)event; }
  virtual void handleDragEvent(const DragEvent& event) { (void)event; }
  virtual void handleTickEvent() {}

  virtual void childGeometryChanged() {}

  /* Drawing a frame: a drawable puts itself (a container: its children) on the draw chain
   * of the area, top-most first. `absClip` is the absolute area of this drawable that lies
   * inside the frame's area and inside all its parents; (absX, absY) its absolute origin. */
  virtual void setupDrawChain(const Rect& absClip, int16_t absX, int16_t absY,
                              Drawable** nextPreviousElement);

 protected:
  Rect rect;
  Drawable* parent;
  Drawable* nextSibling;

 private:
  // What a frame's drawing knows of this drawable.
  Drawable* nextDrawChainElement;
  int16_t cachedAbsX;
  int16_t cachedAbsY;
  Rect cachedVisibleRect;  // absolute, clipped to the frame's area and the parents
  Rect cachedDrawArea;     // absolute: what this drawable must draw in the frame

  bool touchable;
  bool visible;

  friend class Container;
  friend class Screen;
};

}  // namespace touchgfx

#endif
