/* Graphics framework: colours of the 24-bit display (colortype 0x00RRGGBB). */
#ifndef TOUCHGFX_COLOR_HPP
#define TOUCHGFX_COLOR_HPP

#include <stdint.h>

#include "touchgfx/hal/Types.hpp"

namespace touchgfx {

class Color {
 public:
  static colortype getColorFrom24BitRGB(uint8_t red, uint8_t green, uint8_t blue) {
    return (static_cast<colortype>(red) << 16) | (static_cast<colortype>(green) << 8) | blue;
  }
  static uint8_t getRedColor(colortype color) { return static_cast<uint8_t>(color >> 16); }
  static uint8_t getGreenColor(colortype color) { return static_cast<uint8_t>(color >> 8); }
  static uint8_t getBlueColor(colortype color) { return static_cast<uint8_t>(color); }
};

}  // namespace touchgfx

#endif
