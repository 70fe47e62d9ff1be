/* Graphics framework: a touch that moved while down, from an old to a new point. */
#ifndef TOUCHGFX_EVENTS_DRAGEVENT_HPP
#define TOUCHGFX_EVENTS_DRAGEVENT_HPP

#include <stdint.h>

namespace touchgfx {

class DragEvent {
 public:
  enum DragEventType { DRAGGED };

  DragEvent(DragEventType type, int16_t oldX, int16_t oldY, int16_t newX, int16_t newY)
      : dragEventType(type), oldX(oldX), oldY(oldY), newX(newX), newY(newY) {}

  int16_t getOldX() const { return oldX; }
  int16_t getOldY() const { return oldY; }
  int16_t getNewX() const { return newX; }
  int16_t getNewY() const { return newY; }
  int16_t getDeltaX() const { return static_cast<int16_t>(newX - oldX); }
  int16_t getDeltaY() const { return static_cast<int16_t>(newY - oldY); }
  DragEventType getType() const { return dragEventType; }

 private:
  DragEventType dragEventType;
  int16_t oldX;
  int16_t oldY;
  int16_t newX;
  int16_t newY;
};

}  // namespace touchgfx

#endif
