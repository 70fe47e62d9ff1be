/* Graphics framework: a drawable holding other drawables. Children are drawn in the order
 * they were added (the last added lies on top), relative to the container's corner and
 * clipped to its rectangle. A container itself covers nothing. */
#ifndef TOUCHGFX_CONTAINERS_CONTAINER_HPP
#define TOUCHGFX_CONTAINERS_CONTAINER_HPP

#include "touchgfx/Callback.hpp"
#include "touchgfx/Drawable.hpp"

namespace touchgfx {

class Container : public Drawable {
 public:
  Container() : Drawable(), firstChild(nullptr) {}
  /* The children stay alive; they only leave the container. */
  ~Container() override;

  /* Adds `d` on top of the other children (taking it out of any container it was in). */
  virtual void add(Drawable& d);
  /* Takes `d` out of this container; nothing happens when it is not a child. */
  virtual void remove(Drawable& d);
  virtual void removeAll();
  /* Forgets all children without touching them. */
  virtual void unlink();
  virtual bool contains(const Drawable& d);
  /* Inserts `d` right above `previous` (at the bottom when `previous` is null or not a
   * child). */
  virtual void insert(Drawable* previous, Drawable& d);

  void getLastChild(int16_t x, int16_t y, Drawable** last) override;
  void draw(const Rect& invalidatedArea) const override;
  Rect getSolidRect() const override { return Rect(); }
  virtual void forEachChild(GenericCallback<Drawable&>* function);
  Drawable* getFirstChild() override { return firstChild; }
  void setupDrawChain(const Rect& absClip, int16_t absX, int16_t absY,
                      Drawable** nextPreviousElement) override;

 protected:
  Drawable* firstChild;
};

}  // namespace touchgfx

#endif
