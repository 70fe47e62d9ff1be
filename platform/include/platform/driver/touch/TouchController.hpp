/* Graphics framework: the board's touch controller, sampled once a frame. Coordinates are in
 * the portrait layout the screens use (the board turns the panel's raw coordinates). */
#ifndef TOUCHGFX_PLATFORM_TOUCHCONTROLLER_HPP
#define TOUCHGFX_PLATFORM_TOUCHCONTROLLER_HPP

#include <stdint.h>

namespace touchgfx {

class TouchController {
 public:
  virtual ~TouchController() {}
  virtual void init() {}
  /* True while a finger is down, with its position in x and y. */
  virtual bool sampleTouch(int32_t& x, int32_t& y) = 0;
};

}  // namespace touchgfx

#endif
