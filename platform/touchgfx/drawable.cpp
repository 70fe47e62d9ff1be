// Drawables and containers: geometry, invalidation, touch targets, and the draw chain a
// frame's drawing is built on.
#include "touchgfx/Drawable.hpp"

#include "touchgfx/Application.hpp"
#include "touchgfx/containers/Container.hpp"

namespace touchgfx {

Drawable::~Drawable() {
  if (parent != nullptr) static_cast<Container*>(parent)->remove(*this);
}

void Drawable::invalidateRect(Rect& invalidatedArea) const {
  invalidatedArea &= Rect(0, 0, rect.width, rect.height);
  if (invalidatedArea.isEmpty()) return;
  invalidatedArea.x = static_cast<int16_t>(invalidatedArea.x + rect.x);
  invalidatedArea.y = static_cast<int16_t>(invalidatedArea.y + rect.y);
  if (parent != nullptr) {
    parent->invalidateRect(invalidatedArea);
  } else if (Application* app = Application::getInstance()) {
    // The top of the tree: a screen's root container lies at the display's corner.
    app->invalidateArea(invalidatedArea);
  }
}

void Drawable::invalidate() const {
  Rect r(0, 0, rect.width, rect.height);
  invalidateRect(r);
}

Rect Drawable::getAbsoluteRect() const {
  Rect r(0, 0, rect.width, rect.height);
  translateRectToAbsolute(r);
  return r;
}

void Drawable::translateRectToAbsolute(Rect& r) const {
  r.x = static_cast<int16_t>(r.x + rect.x);
  r.y = static_cast<int16_t>(r.y + rect.y);
  if (parent != nullptr) parent->translateRectToAbsolute(r);
}

Rect Drawable::getSolidRectAbsolute() {
  Rect r = getSolidRect() & Rect(0, 0, rect.width, rect.height);
  translateRectToAbsolute(r);
  return r;
}

void Drawable::moveRelative(int16_t x, int16_t y) {
  if (x == 0 && y == 0) return;
  invalidate();
  rect.x = static_cast<int16_t>(rect.x + x);
  rect.y = static_cast<int16_t>(rect.y + y);
  invalidate();
}

void Drawable::setupDrawChain(const Rect& absClip, int16_t absX, int16_t absY,
                              Drawable** nextPreviousElement) {
  cachedAbsX = absX;
  cachedAbsY = absY;
  cachedVisibleRect = absClip;
  cachedDrawArea = Rect();
  nextDrawChainElement = *nextPreviousElement;
  *nextPreviousElement = this;
}

Container::~Container() { unlink(); }

void Container::add(Drawable& d) {
  if (&d == this) return;
  if (d.parent != nullptr) static_cast<Container*>(d.parent)->remove(d);
  d.parent = this;
  d.nextSibling = nullptr;
  if (firstChild == nullptr) {
    firstChild = &d;
    return;
  }
  Drawable* last = firstChild;
  while (last->nextSibling != nullptr) last = last->nextSibling;
  last->nextSibling = &d;
}

void Container::remove(Drawable& d) {
  for (Drawable** link = &firstChild; *link != nullptr; link = &(*link)->nextSibling) {
    if (*link == &d) {
      *link = d.nextSibling;
      d.nextSibling = nullptr;
      d.parent = nullptr;
      return;
    }
  }
}

void Container::removeAll() { unlink(); }

void Container::unlink() {
  Drawable* d = firstChild;
  while (d != nullptr) {
    Drawable* next = d->nextSibling;
    d->parent = nullptr;
    d->nextSibling = nullptr;
    d = next;
  }
  firstChild = nullptr;
}

bool Container::contains(const Drawable& d) {
  for (Drawable* c = firstChild; c != nullptr; c = c->nextSibling) {
    if (c == &d) return true;
  }
  return false;
}

void Container::insert(Drawable* previous, Drawable& d) {
  if (&d == this) return;
  if (previous == nullptr || previous == &d || !contains(*previous)) {
    if (d.parent != nullptr) static_cast<Container*>(d.parent)->remove(d);
    d.parent = this;
    d.nextSibling = firstChild;
    firstChild = &d;
    return;
  }
  if (d.parent != nullptr) static_cast<Container*>(d.parent)->remove(d);
  d.parent = this;
  d.nextSibling = previous->nextSibling;
  previous->nextSibling = &d;
}

void Container::getLastChild(int16_t x, int16_t y, Drawable** last) {
  if (!isVisible()) return;
  if (isTouchable()) *last = this;
  for (Drawable* d = firstChild; d != nullptr; d = d->nextSibling) {
    if (d->isVisible() && d->rect.intersect(x, y)) {
      d->getLastChild(static_cast<int16_t>(x - d->rect.x), static_cast<int16_t>(y - d->rect.y),
                      last);
    }
  }
}

void Container::draw(const Rect& invalidatedArea) const {
  const Rect area = invalidatedArea & Rect(0, 0, rect.width, rect.height);
  for (Drawable* d = firstChild; d != nullptr; d = d->nextSibling) {
    if (!d->isVisible()) continue;
    Rect r = area & d->rect;
    if (r.isEmpty()) continue;
    r.x = static_cast<int16_t>(r.x - d->rect.x);
    r.y = static_cast<int16_t>(r.y - d->rect.y);
    d->draw(r);
  }
}

void Container::forEachChild(GenericCallback<Drawable&>* function) {
  if (function == nullptr || !function->isValid()) return;
  Drawable* d = firstChild;
  while (d != nullptr) {
    Drawable* next = d->nextSibling;  // the function may move or remove d
    function->execute(*d);
    d = next;
  }
}

void Container::setupDrawChain(const Rect& absClip, int16_t absX, int16_t absY,
                               Drawable** nextPreviousElement) {
  for (Drawable* d = firstChild; d != nullptr; d = d->nextSibling) {
    if (!d->isVisible()) continue;
    const auto x = static_cast<int16_t>(absX + d->rect.x);
    const auto y = static_cast<int16_t>(absY + d->rect.y);
    const Rect clip = absClip & Rect(x, y, d->rect.width, d->rect.height);
    if (!clip.isEmpty()) d->setupDrawChain(clip, x, y, nextPreviousElement);
  }
}

}  // namespace touchgfx
