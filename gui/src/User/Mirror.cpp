#include "gui/User/Mirror.hpp"

#include "touchgfx/hal/HAL.hpp"

static_assert(sizeof(Mirror::Pixel) == 3, "a row buffer holds frame-buffer pixels as they are");

namespace {

// Pixel i changes place with pixel width - 1 - i.
void reverse(Mirror::Pixel* row, uint16_t width) {
  for (uint16_t i = 0; i < width / 2; ++i) {
    const Mirror::Pixel p = row[i];
    row[i] = row[width - 1 - i];
    row[width - 1 - i] = p;
  }
}

}  // namespace

touchgfx::Rect Mirror::getSolidRect() const { return touchgfx::Rect(0, 0, 0, 0); }

// The frame's pixel sequence reversed, row pairs from the outside in: row r and row H-1-r
// are each read into a buffer, reversed, and written to the other's place. A frame with an
// odd number of rows has its middle row reversed where it is.
void Mirror::draw(const touchgfx::Rect& area) const {
  (void)area;
  touchgfx::HAL* hal = touchgfx::HAL::getInstance();
  uint8_t* fb = reinterpret_cast<uint8_t*>(hal->lockFrameBuffer());
  const uint16_t w = touchgfx::HAL::DISPLAY_WIDTH;
  const uint16_t h = touchgfx::HAL::DISPLAY_HEIGHT;
  if (w <= DISP_WIDTH) {
    const uint32_t rowBytes = static_cast<uint32_t>(w) * 3U;
    for (uint16_t r = 0; r < h / 2; ++r) {
      uint8_t* top = fb + rowBytes * r;
      uint8_t* bottom = fb + rowBytes * (h - 1U - r);
      hal->blockCopy(rowBufferTop, top, rowBytes);
      reverse(rowBufferTop, w);
      hal->blockCopy(rowBufferBottom, bottom, rowBytes);
      reverse(rowBufferBottom, w);
      hal->blockCopy(top, rowBufferBottom, rowBytes);
      hal->blockCopy(bottom, rowBufferTop, rowBytes);
    }
    if (h % 2 != 0) {
      uint8_t* middle = fb + rowBytes * (h / 2U);
      hal->blockCopy(rowBufferTop, middle, rowBytes);
      reverse(rowBufferTop, w);
      hal->blockCopy(middle, rowBufferTop, rowBytes);
    }
  }
  hal->unlockFrameBuffer();
}
