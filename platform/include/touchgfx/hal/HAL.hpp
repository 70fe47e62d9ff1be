/* Graphics framework: the hardware abstraction of the display. The display runs in portrait
 * orientation: every layout is DISPLAY_WIDTH (272) wide and DISPLAY_HEIGHT (480) high.
 *
 * The frame buffer holds 24 bits a pixel, row by row from the top, 3 bytes a pixel in memory
 * order blue, green, red (the LCD controller's RGB888 layout, the same as an RGB888 bitmap).
 * Widgets draw into the framework's own picture of the layout; lockFrameBuffer() hands out
 * the frame buffer the panel shows, brought up to date with everything drawn so far, for a
 * widget that works on the finished frame (the Mirror turns it in place). */
#ifndef TOUCHGFX_HAL_HAL_HPP
#define TOUCHGFX_HAL_HAL_HPP

#include <stdint.h>

#include "platform/driver/button/ButtonController.hpp"
#include "platform/driver/touch/TouchController.hpp"
#include "touchgfx/hal/Types.hpp"
#include "touchgfx/lcd/LCD.hpp"

namespace touchgfx {

class HAL {
 public:
  static HAL* getInstance();
  static LCD& lcd();

  static uint16_t DISPLAY_WIDTH;
  static uint16_t DISPLAY_HEIGHT;
  static uint16_t FRAME_BUFFER_WIDTH;
  static uint16_t FRAME_BUFFER_HEIGHT;

  virtual ~HAL() {}
  HAL(const HAL&) = delete;
  HAL& operator=(const HAL&) = delete;

  /* The frame buffer the panel shows, up to date with everything drawn; until
   * unlockFrameBuffer() the caller may change it. */
  virtual uint16_t* lockFrameBuffer();
  virtual void unlockFrameBuffer();
  /* Where the frame buffers lie: at `adr`, DISPLAY_WIDTH x DISPLAY_HEIGHT pixels of `depth`
   * bits, a second one right after it with double buffering, then the animation storage
   * with it. The simulated board records the call and keeps its own buffers. */
  virtual void setFrameBufferStartAddress(void* adr, uint16_t depth = 16,
                                          bool useDoubleBuffering = true,
                                          bool useAnimationStorage = true);
  /* Copies `numBytes` from `src` to `dest` (the areas may overlap). */
  virtual bool blockCopy(void* dest, const void* src, uint32_t numBytes);

  void setTouchController(TouchController* controller) { touchController = controller; }
  TouchController* getTouchController() const { return touchController; }
  void setButtonController(ButtonController* controller) { buttonController = controller; }
  ButtonController* getButtonController() const { return buttonController; }

  /* One frame, after the display's vertical sync: the pending screen transition, touch and
   * keys, the application's tick, then the drawing of what was invalidated. */
  virtual void tick();

 protected:
  constexpr HAL() : touchController(nullptr), buttonController(nullptr) {}

 private:
  TouchController* touchController;
  ButtonController* buttonController;
};

}  // namespace touchgfx

#endif
