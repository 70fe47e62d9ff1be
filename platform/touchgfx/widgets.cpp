// The plain widgets: box, image and buttons (plain and toggling).
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx/lcd/LCD.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"
#include "touchgfx/widgets/ToggleButton.hpp"

namespace touchgfx {

namespace {

// The part of a widget to draw, made absolute.
Rect absoluteArea(const Drawable& widget, const Rect& invalidatedArea) {
  Rect r = invalidatedArea & Rect(0, 0, widget.getWidth(), widget.getHeight());
  widget.translateRectToAbsolute(r);
  return r;
}

}  // namespace

// ---- Box

void Box::draw(const Rect& invalidatedArea) const {
  HAL::lcd().fillRect(absoluteArea(*this, invalidatedArea), color, alpha);
}

Rect Box::getSolidRect() const {
  if (alpha < 255) return Rect();
  return Rect(0, 0, getWidth(), getHeight());
}

// ---- Image

void Image::setBitmap(const Bitmap& bmp) {
  bitmap = bmp;
  setWidthHeight(static_cast<int16_t>(bitmap.getWidth()), static_cast<int16_t>(bitmap.getHeight()));
}

void Image::draw(const Rect& invalidatedArea) const {
  const Rect abs = getAbsoluteRect();
  HAL::lcd().drawPartialBitmap(bitmap, abs.x, abs.y, absoluteArea(*this, invalidatedArea), alpha);
}

Rect Image::getSolidRect() const {
  if (alpha < 255) return Rect();
  return bitmap.getSolidRect();
}

// ---- buttons

void AbstractButton::handleClickEvent(const ClickEvent& event) {
  const bool wasPressed = pressed;
  if (event.getType() == ClickEvent::PRESSED) {
    pressed = inside(event.getX(), event.getY());
  } else {
    pressed = false;
  }
  if (pressed != wasPressed) invalidate();
  if (wasPressed && event.getType() == ClickEvent::RELEASED && inside(event.getX(), event.getY())) {
    clicked();
  }
}

void AbstractButton::handleDragEvent(const DragEvent& event) {
  // The button shows pressed while the finger that pressed it is on it.
  const bool nowInside = inside(event.getNewX(), event.getNewY());
  if (pressed != nowInside) {
    pressed = nowInside;
    invalidate();
  }
}

void AbstractButton::clicked() {
  if (action != nullptr && action->isValid()) action->execute(*this);
}

void Button::setBitmaps(const Bitmap& bmpReleased, const Bitmap& bmpPressed) {
  up = bmpReleased;
  down = bmpPressed;
  setWidthHeight(static_cast<int16_t>(up.getWidth()), static_cast<int16_t>(up.getHeight()));
}

void Button::draw(const Rect& invalidatedArea) const {
  const Rect abs = getAbsoluteRect();
  HAL::lcd().drawPartialBitmap(pressed ? down : up, abs.x, abs.y,
                               absoluteArea(*this, invalidatedArea), alpha);
}

Rect Button::getSolidRect() const {
  if (alpha < 255) return Rect();
  return (pressed ? down : up).getSolidRect();
}

void ToggleButton::forceState(bool activeState) {
  if (activeState) {
    if (up != originalPressed) {
      down = up;
      up = originalPressed;
    }
  } else if (down != originalPressed) {
    up = down;
    down = originalPressed;
  }
}

void ToggleButton::clicked() {
  const Bitmap shown = up;
  up = down;
  down = shown;
  invalidate();
  Button::clicked();
}

}  // namespace touchgfx
