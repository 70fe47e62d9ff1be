// Benchmark of the graphics framework's frame: an idle frame, a frame that redraws one
// button, and one that redraws the whole screen, on a screen like the main screen (an opaque
// background, a 272 x 480 picture with alpha, 16 buttons of 68 x 68 with alpha, the Mirror
// on top). Prints the wall time of each frame kind and its ratio to a plain copy of a whole
// frame buffer in this process. Figures only; nothing passes or fails.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gui/User/Mirror.hpp"
#include "simgfx.h"
#include "touchgfx/Application.hpp"
#include "touchgfx/Bitmap.hpp"
#include "touchgfx/Screen.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/Button.hpp"
#include "touchgfx/widgets/Image.hpp"

using Clock = std::chrono::steady_clock;

namespace {

class BenchApp : public touchgfx::Application {
 public:
  void show(touchgfx::Screen& s) {
    currentScreen = &s;
    invalidate();
  }
};

// ARGB8888 pixels of a w x h bitmap: a colour ramp, opaque inside a margin, fading outside.
std::vector<std::uint8_t> picture(int w, int h, int margin) {
  std::vector<std::uint8_t> px;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool inside = x >= margin && y >= margin && x < w - margin && y < h - margin;
      px.insert(px.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x80,
                           static_cast<std::uint8_t>(inside ? 255 : 96)});
    }
  }
  return px;
}

template <class F>
double perCall(int n, F f) {
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) f();
  return std::chrono::duration<double>(Clock::now() - t0).count() / n;
}

}  // namespace

int main() {
  const std::vector<std::uint8_t> back = picture(272, 480, 8);
  const std::vector<std::uint8_t> shape = picture(68, 68, 6);
  const touchgfx::Bitmap::BitmapData table[] = {
      {back.data(), nullptr, 272, 480, 8, 8, 256, 464, touchgfx::Bitmap::ARGB8888},
      {shape.data(), nullptr, 68, 68, 6, 6, 56, 56, touchgfx::Bitmap::ARGB8888}};
  touchgfx::Bitmap::registerBitmapDatabase(table, 2);

  BenchApp app;
  touchgfx::Screen screen;
  touchgfx::Box background(272, 480, 0xFFFFFF);
  touchgfx::Image image{touchgfx::Bitmap(0)};
  touchgfx::Button buttons[16];
  Mirror mirror;
  screen.add(background);
  screen.add(image);
  for (int i = 0; i < 16; ++i) {
    buttons[i].setBitmaps(touchgfx::Bitmap(1), touchgfx::Bitmap(1));
    buttons[i].setXY(static_cast<int16_t>(68 * (i % 4)), static_cast<int16_t>(208 + 68 * (i / 4)));
    screen.add(buttons[i]);
  }
  mirror.setPosition(0, 0, 272, 480);
  screen.add(mirror);
  app.show(screen);
  simgfx::frame();

  static std::uint8_t a[simgfx::kFrameBytes], b[simgfx::kFrameBytes];
  const int n = 300;
  auto copyFrame = [] {
    std::memcpy(a, b, sizeof a);
    b[0] = static_cast<std::uint8_t>(b[0] + a[1]);
  };
  (void)perCall(n, copyFrame);  // warms the caches
  const double copy = perCall(n, copyFrame);
  const double idle = perCall(n * 100, [] { simgfx::frame(); });
  const double button = perCall(n, [&] {
    buttons[5].invalidate();
    simgfx::frame();
  });
  const double whole = perCall(n, [&] {
    app.invalidate();
    simgfx::frame();
  });
  simgfx::setDrawing(false);
  const double off = perCall(n, [&] {
    app.invalidate();
    simgfx::frame();
  });

  std::printf("graphics frame (main-screen-like, Mirror on top), per frame:\n");
  std::printf("  copy of a whole frame buffer    %8.1f us  (1.00)\n", copy * 1e6);
  std::printf("  idle frame (nothing to draw)    %8.3f us  (%.4f)\n", idle * 1e6, idle / copy);
  std::printf("  one button redrawn              %8.1f us  (%.2f)\n", button * 1e6, button / copy);
  std::printf("  whole screen redrawn            %8.1f us  (%.2f)\n", whole * 1e6, whole / copy);
  std::printf("  whole screen, drawing off       %8.3f us  (%.4f)\n", off * 1e6, off / copy);
  return 0;
}
