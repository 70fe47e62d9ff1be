/* Graphics framework: a touch going down or up at a point. The application gets it in
 * screen coordinates; a widget gets it relative to its own top-left corner. */
#ifndef TOUCHGFX_EVENTS_CLICKEVENT_HPP
#define TOUCHGFX_EVENTS_CLICKEVENT_HPP

#include <stdint.h>

namespace touchgfx {

class ClickEvent {
 public:
  enum ClickEventType { PRESSED, RELEASED, CANCEL };

  ClickEvent(ClickEventType type, int16_t x, int16_t y, int16_t force = 0)
      : clickEventType(type), xCoord(x), yCoord(y), force(force) {}

  int16_t getX() const { return xCoord; }
  int16_t getY() const { return yCoord; }
  void setX(int16_t x) { xCoord = x; }
  void setY(int16_t y) { yCoord = y; }
  ClickEventType getType() const { return clickEventType; }
  int16_t getForce() const { return force; }

 private:
  ClickEventType clickEventType;
  int16_t xCoord;
  int16_t yCoord;
  int16_t force;
};

}  // namespace touchgfx

#endif
