// The display side of the graphics framework: the frame loop's step, the canvas the widgets
// draw into, and the frame buffer the panel shows.
//
// Widgets draw the layout into a canvas of their own, which keeps the layout between frames.
// The frame buffer follows it: at the end of a frame the area drawn is copied over, unless
// somebody locked the frame buffer in the frame. lockFrameBuffer() first brings the frame
// buffer up to date with the canvas (all of it when a previous lock may have changed the
// buffer), so a widget that works on the finished frame, such as the Mirror that turns it by
// 180 degrees in place, always gets the whole layout as drawn, never its own earlier result.
// A partial redraw under a Mirror thus still leaves the whole frame turned, and a screen
// without one shows the whole layout unturned.
#include "touchgfx/hal/HAL.hpp"

#include <cstring>

#include "gfx_internal.h"
#include "simgfx.h"
#include "touchgfx/Application.hpp"
#include "touchgfx/lcd/LCD.hpp"

namespace touchgfx {

uint16_t HAL::DISPLAY_WIDTH = internal::kWidth;
uint16_t HAL::DISPLAY_HEIGHT = internal::kHeight;
uint16_t HAL::FRAME_BUFFER_WIDTH = internal::kWidth;
uint16_t HAL::FRAME_BUFFER_HEIGHT = internal::kHeight;

namespace {

class BoardHAL : public HAL {
 public:
  constexpr BoardHAL() : HAL() {}
};

// Ready before any constructor of the firmware's statics runs.
constinit BoardHAL hal;
constinit LCD display;

alignas(16) std::uint8_t canvasBytes[simgfx::kFrameBytes];
alignas(16) std::uint8_t frameBufferBytes[simgfx::kFrameBytes];
alignas(16) std::uint8_t animationBytes[simgfx::kFrameBytes];

// Where the frame buffer may differ from the canvas: the area drawn since it was last
// brought up to date, and whether a lock may have changed it anywhere.
Rect stale;
bool lockedChanges = false;
bool lockedThisFrame = false;
std::uint64_t generation = 0;
bool drawingOn = true;
simgfx::FrameBufferMemory handedOver;

// The finger as the last frame saw it.
bool lastTouched = false;
int16_t lastX = 0;
int16_t lastY = 0;

// Turns the touch controller's samples into a press, drags and a release.
void sampleTouch(TouchController* touchController, Application* app) {
  int32_t x = 0;
  int32_t y = 0;
  const bool touched = touchController != nullptr && touchController->sampleTouch(x, y);
  // A finger can only be on the panel: coordinates outside it are held at its edge.
  if (x < 0) x = 0;
  if (x >= HAL::DISPLAY_WIDTH) x = HAL::DISPLAY_WIDTH - 1;
  if (y < 0) y = 0;
  if (y >= HAL::DISPLAY_HEIGHT) y = HAL::DISPLAY_HEIGHT - 1;
  const auto nx = static_cast<int16_t>(x);
  const auto ny = static_cast<int16_t>(y);
  if (touched) {
    if (!lastTouched) {
      app->handleClickEvent(ClickEvent(ClickEvent::PRESSED, nx, ny));
    } else if (nx != lastX || ny != lastY) {
      app->handleDragEvent(DragEvent(DragEvent::DRAGGED, lastX, lastY, nx, ny));
    }
    lastX = nx;
    lastY = ny;
  } else if (lastTouched) {
    app->handleClickEvent(ClickEvent(ClickEvent::RELEASED, lastX, lastY));
  }
  lastTouched = touched;
}

void copyToFrameBuffer(const Rect& area) {
  const Rect r = area & internal::screenRect();
  if (r.isEmpty()) return;
  const std::size_t offset = static_cast<std::size_t>(r.y) * internal::kStride +
                             static_cast<std::size_t>(r.x) * internal::kBpp;
  const std::size_t bytes = static_cast<std::size_t>(r.width) * internal::kBpp;
  for (int row = 0; row < r.height; ++row) {
    const std::size_t at = offset + static_cast<std::size_t>(row) * internal::kStride;
    std::memcpy(frameBufferBytes + at, canvasBytes + at, bytes);
  }
}

// The end of a frame: what was drawn reaches the frame buffer. After a lock in this frame,
// only what was drawn after it is copied (onto the locker's result, as the board would
// draw it); a frame without a lock after one that changed the buffer copies everything, so
// that the panel never mixes an old locker's result with the layout.
void flush() {
  bool changed = lockedThisFrame;
  if (!stale.isEmpty()) {
    if (lockedChanges && !lockedThisFrame) {
      copyToFrameBuffer(internal::screenRect());
      lockedChanges = false;
    } else {
      copyToFrameBuffer(stale);
    }
    stale = Rect();
    changed = true;
  }
  lockedThisFrame = false;
  if (changed) ++generation;
}

}  // namespace

namespace internal {

std::uint8_t* canvas() { return canvasBytes; }
std::uint8_t* animationStorage() { return animationBytes; }
void canvasDrawn(const Rect& area) { stale.expandToFit(area & screenRect()); }

}  // namespace internal

HAL* HAL::getInstance() { return &hal; }
LCD& HAL::lcd() { return display; }

uint16_t* HAL::lockFrameBuffer() {
  if (lockedChanges) {
    copyToFrameBuffer(internal::screenRect());
  } else {
    copyToFrameBuffer(stale);
  }
  stale = Rect();
  lockedChanges = false;
  return reinterpret_cast<uint16_t*>(frameBufferBytes);
}

void HAL::unlockFrameBuffer() {
  lockedChanges = true;
  lockedThisFrame = true;
}

// The simulated board keeps its own buffers (the panel model took the frame buffer's place
// at the LCD controller's set-up); what the application handed over is kept for the board.
void HAL::setFrameBufferStartAddress(void* adr, uint16_t depth, bool useDoubleBuffering,
                                     bool useAnimationStorage) {
  handedOver = simgfx::FrameBufferMemory{adr, depth, useDoubleBuffering, useAnimationStorage};
}

bool HAL::blockCopy(void* dest, const void* src, uint32_t numBytes) {
  if (dest == nullptr || src == nullptr) return false;
  std::memmove(dest, src, numBytes);
  return true;
}

void HAL::tick() {
  Application* app = Application::getInstance();
  if (app == nullptr) return;
  app->handlePendingScreenTransition();
  sampleTouch(touchController, app);
  uint8_t key = 0;
  if (buttonController != nullptr && buttonController->sample(key)) app->handleKeyEvent(key);
  app->handleTickEvent();
  // With drawing off the invalidated area just waits (turning drawing on redraws it all).
  if (drawingOn) {
    app->drawCachedAreas();
    flush();
  }
}

}  // namespace touchgfx

namespace simgfx {

void frame() { touchgfx::HAL::getInstance()->tick(); }

void setTouchController(touchgfx::TouchController* controller) {
  touchgfx::HAL::getInstance()->setTouchController(controller);
}
void setButtonController(touchgfx::ButtonController* controller) {
  touchgfx::HAL::getInstance()->setButtonController(controller);
}

const std::uint8_t* frameBuffer() { return touchgfx::frameBufferBytes; }
FrameBufferMemory frameBufferMemory() { return touchgfx::handedOver; }
std::uint64_t frameBufferGeneration() { return touchgfx::generation; }

void setDrawing(bool on) {
  if (on && !touchgfx::drawingOn) {
    if (touchgfx::Application* app = touchgfx::Application::getInstance()) app->invalidate();
  }
  touchgfx::drawingOn = on;
}
bool drawing() { return touchgfx::drawingOn; }

void reset() {
  using namespace touchgfx;
  std::memset(canvasBytes, 0, sizeof canvasBytes);
  std::memset(frameBufferBytes, 0, sizeof frameBufferBytes);
  std::memset(animationBytes, 0, sizeof animationBytes);
  stale = Rect();
  lockedChanges = false;
  lockedThisFrame = false;
  generation = 0;
  drawingOn = true;
  handedOver = simgfx::FrameBufferMemory();
  lastTouched = false;
  lastX = 0;
  lastY = 0;
  HAL::getInstance()->setTouchController(nullptr);
  HAL::getInstance()->setButtonController(nullptr);
}

}  // namespace simgfx
