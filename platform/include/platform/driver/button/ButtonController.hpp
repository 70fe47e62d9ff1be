/* Graphics framework: a source of key codes for the screens, sampled once a frame. */
#ifndef TOUCHGFX_PLATFORM_BUTTONCONTROLLER_HPP
#define TOUCHGFX_PLATFORM_BUTTONCONTROLLER_HPP

#include <stdint.h>

namespace touchgfx {

class ButtonController {
 public:
  virtual ~ButtonController() {}
  virtual void init() {}
  /* True when a key code is waiting; it is stored in key and taken. */
  virtual bool sample(uint8_t& key) = 0;
};

}  // namespace touchgfx

#endif
