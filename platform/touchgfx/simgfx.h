// The graphics framework's side for the board models, the simulator and tests: the frame
// loop's step, the frame buffer the panel shows, the screen names, and switches for tests.
//
// The frame buffer is HAL::DISPLAY_WIDTH x HAL::DISPLAY_HEIGHT (272 x 480) pixels, row by row
// from the top of the portrait layout, 3 bytes a pixel in memory order blue, green, red. It
// holds the frame as the firmware finished it: on a screen with a Mirror that is the layout
// turned by 180 degrees, which the turned panel shows upright to the child. A screenshot "as
// the child sees it" is therefore this buffer turned by 180 degrees.
#pragma once

#include <cstdint>

#include "platform/driver/button/ButtonController.hpp"
#include "platform/driver/touch/TouchController.hpp"

namespace simgfx {

constexpr int kWidth = 272;
constexpr int kHeight = 480;
constexpr int kBytesPerPixel = 3;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * kBytesPerPixel;

// One frame of the frame loop ("Main_Thread", after each vertical sync): the pending screen
// transition, touch and keys, the application's tick, then the invalidated area is drawn.
void frame();

// Where touches and key codes come from (null: none). The touch controller hands out
// coordinates in the portrait layout.
void setTouchController(touchgfx::TouchController* controller);
void setButtonController(touchgfx::ButtonController* controller);

// The frame buffer the panel shows.
const std::uint8_t* frameBuffer();
// The frame-buffer memory the application handed over (HAL::setFrameBufferStartAddress),
// which the simulated board does not use: it keeps its own buffers.
struct FrameBufferMemory {
  const void* address = nullptr;
  std::uint16_t depth = 0;
  bool doubleBuffering = false;
  bool animationStorage = false;
};
FrameBufferMemory frameBufferMemory();
// Counts the frames (and frame-buffer locks) that changed the frame buffer: the display
// model needs to look at the buffer only when this has moved on.
std::uint64_t frameBufferGeneration();

// Drawing on or off (tests and benchmarks): while off, frames run every tick and event but
// draw nothing and leave the frame buffer alone; turning it on again redraws everything.
void setDrawing(bool on);
bool drawing();

// Called with the name of each screen as it is shown (UsbWeg, UsbDa, Main, ...: the view
// class Screen<Name>View); null: nobody listens.
void setScreenHook(void (*hook)(const char* name));
// The hook set now (tests chain theirs behind the board's).
using ScreenHook = void (*)(const char* name);
ScreenHook screenHook();

// The board's key source (the simulator's keyboard): a key code for the screens, handed to the
// framework's key path (Application::handleKeyEvent) in a later frame, one a frame in order.
// False when 16 are waiting already.
bool sendKey(std::uint8_t key);

// The name of the screen shown last (empty before the first), as the board adaptation's
// screen hook heard it.
const char* screenName();

// Tests: forgets the canvas, the frame buffer, the counters and the pending touch state.
void reset();

}  // namespace simgfx
