/* Graphics framework: texts are UTF-16 strings ending in 0. */
#ifndef TOUCHGFX_UNICODE_HPP
#define TOUCHGFX_UNICODE_HPP

#include <stdint.h>

namespace touchgfx {

class Unicode {
 public:
  typedef uint16_t UnicodeChar;

  /* Characters before the terminating 0. */
  static uint16_t strlen(const UnicodeChar* str);
};

}  // namespace touchgfx

#endif
