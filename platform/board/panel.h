// The display: the LCD controller (LTDC) scanning its layer's frame buffer onto the 480 x 272
// panel at every vertical sync (60 Hz), and the panel as the child sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "simkernel.h"

namespace simdisplay {

// The frame buffer's grid and the picture as the child sees it: 272 x 480 pixels.
inline constexpr int kWidth = 272;
inline constexpr int kHeight = 480;
inline constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;
inline constexpr simk::Time kFramePeriod = simk::kS / 60;

// What the graphics board adaptation tells the LTDC about its layer: the frame buffer
// (kWidth x kHeight pixels, 3 bytes each in memory order blue, green, red, rows from the
// top), a counter that moves on whenever the buffer may have changed (the controller looks at
// the buffer only then), and whether the buffer is complete now (false while a frame is
// being drawn into it: the panel then keeps showing the previous picture).
struct Layer {
  const std::uint8_t* frameBuffer = nullptr;
  std::function<std::uint64_t()> generation;
  std::function<bool()> complete;
};

// At power-on (the board's wiring): the panel is dark, no layer, no vertical sync.
void connect();
// The number of panel pictures shown in earlier lives of the board: frame numbers go on from
// there across power cycles.
void continueNumbering(std::uint64_t framesBefore);

// The graphics adaptation's set-up: the layer, and the vertical sync starts (the first one a
// frame period from now). At each vertical sync the controller takes the layer's buffer as
// the panel's picture if it changed, then raises the LTDC line interrupt when the firmware
// has enabled it (HAL_LTDC_ProgramLineEvent).
void start(Layer layer);
bool running();

// Benchmarks: the board without a display (start() does nothing, there is no vertical sync).
void setPresent(bool present);

// ---- backdoor (screenshots, the window, tests)

// Called after each vertical sync that changed the panel's picture (at most once a sync).
void onNewPicture(std::function<void()> listener);

// The panel's picture as the child sees it: kWidth x kHeight pixels, rows from the top, 3 bytes
// a pixel red, green, blue. The panel is mounted turned by 180 degrees, so this is the frame
// buffer's grid turned: a screen whose Mirror turned its layout shows upright here.
void picture(std::uint8_t* rgb);
// The same with the backlight's brightness applied (what a window shows): each channel
// scaled by the duty (per mille) and rounded.
void dimmedPicture(std::uint8_t* rgb);
// The backlight's duty in per mille of full brightness (the dimmer's measurement).
int backlight();

// The number of the picture shown (0: nothing shown in any life yet; counts across power
// cycles) and a hash of its pixels, as written in the `frame` trace event.
std::uint64_t frameNumber();
std::uint64_t frameHash();

// A hash of a frame-buffer picture (kPixels x 3 bytes), the one the `frame` event shows.
std::uint64_t hashPixels(const std::uint8_t* bgr);

}  // namespace simdisplay
