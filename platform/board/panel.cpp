// The display: the LCD controller (LTDC) and the 480 x 272 panel it drives.
//
// The controller scans its layer's frame buffer once a frame; the model takes the whole scan
// at the vertical sync (every 1/60 s from the layer's set-up). At each sync it first looks at
// the layer: if the buffer may have changed since the last sync (its generation counter moved)
// and the frame drawn into it is complete, the buffer becomes the panel's picture; then the
// line interrupt the firmware programmed is raised, and the graphics frame loop draws the next
// frame into the buffer. So the panel shows the buffer as it stood at the latest sync where it
// was complete, never a frame half drawn. A picture that differs from the one shown (by the
// hash of its pixels) is a new picture: it gets the next frame number and goes to the trace as
// a `frame` event {"n", "hash"}, and the listeners (the screenshot folder) hear of it.
//
// The panel is bonded into the device turned by 180 degrees: what the child sees is the
// frame buffer's grid turned, 272 x 480. The backlight's duty (measured by the backlight
// model) is offered for a window to apply; the picture itself is the pixels.
//
// Simplified: no layer blending, colour keying, CLUT or partial scans; the controller's
// timing registers are not modelled; the line interrupt comes at the vertical sync whatever
// line was programmed. Before the layer is set up (and after a power-on) the panel is dark.
#include "panel.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "backlight.h"
#include "runtime_heap.h"
#include "simhal.h"
#include "trace.h"

namespace simdisplay {
namespace {

constexpr std::size_t kBytes = kPixels * 3;

struct Panel {
  bool present = true;
  Layer layer;
  bool haveLayer = false;
  bool looked = false;  // the buffer was looked at since the layer was set up
  std::uint64_t seenGeneration = 0;
  std::vector<std::uint8_t> shown;  // frame-buffer grid, blue green red
  std::uint64_t frames = 0;
  std::uint64_t hash = 0;
  std::vector<std::function<void()>> listeners;
};

Panel& panel() {
  static Panel p;
  return p;
}

simk::Periodic& vsync() {
  static simk::Periodic p;
  return p;
}

std::uint64_t darkHash() {
  static const std::uint64_t h = [] {
    const std::vector<std::uint8_t> dark(kBytes, 0);
    return hashPixels(dark.data());
  }();
  return h;
}

void scan(Panel& p) {
  if (!p.haveLayer || p.layer.frameBuffer == nullptr) return;
  const std::uint64_t generation = p.layer.generation ? p.layer.generation() : 0;
  if (p.looked && generation == p.seenGeneration) return;
  if (p.layer.complete && !p.layer.complete()) return;
  p.looked = true;
  p.seenGeneration = generation;
  const std::uint64_t h = hashPixels(p.layer.frameBuffer);
  if (h == p.hash) return;
  simruntime::HostScope host;
  p.shown.assign(p.layer.frameBuffer, p.layer.frameBuffer + kBytes);
  p.hash = h;
  ++p.frames;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  simtrace::Event("frame").unum("n", p.frames).str("hash", hex);
  for (const auto& listener : p.listeners) listener();
}

void verticalSync() {
  scan(panel());
  if ((sim_LTDC.IER & 1U) != 0) {
    sim_LTDC.ISR |= 1U;
    simhal::raiseIrq(LTDC_IRQn);
  }
}

}  // namespace

std::uint64_t hashPixels(const std::uint8_t* bgr) {
  // FNV-1a over 64-bit words: fast enough to run at every changed sync.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::size_t i = 0; i < kBytes; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bgr + i, sizeof w);
    h = (h ^ w) * 0x100000001b3ULL;
    h ^= h >> 29;
  }
  return h;
}

void connect() {
  Panel& p = panel();
  vsync().stop();
  p.layer = Layer();
  p.haveLayer = false;
  p.looked = false;
  p.seenGeneration = 0;
  p.shown.assign(kBytes, 0);
  p.hash = darkHash();
  p.frames = 0;
  p.listeners.clear();
}

void continueNumbering(std::uint64_t framesBefore) { panel().frames = framesBefore; }

void setPresent(bool present) { panel().present = present; }

void start(Layer layer) {
  Panel& p = panel();
  if (!p.present) return;
  p.layer = std::move(layer);
  p.haveLayer = true;
  p.looked = false;
  vsync().start(simk::now() + kFramePeriod, kFramePeriod, simhal::irqPriority(LTDC_IRQn), true,
                &verticalSync);
}

bool running() { return vsync().running(); }

void onNewPicture(std::function<void()> listener) {
  panel().listeners.push_back(std::move(listener));
}

void picture(std::uint8_t* rgb) {
  const std::vector<std::uint8_t>& shown = panel().shown;
  for (std::size_t i = 0; i < kPixels; ++i) {
    const std::uint8_t* s = shown.data() + (kPixels - 1 - i) * 3;
    rgb[3 * i] = s[2];
    rgb[3 * i + 1] = s[1];
    rgb[3 * i + 2] = s[0];
  }
}

void dimmedPicture(std::uint8_t* rgb) {
  picture(rgb);
  const unsigned duty = static_cast<unsigned>(backlight());
  if (duty >= 1000) return;
  for (std::size_t i = 0; i < kBytes; ++i)
    rgb[i] = static_cast<std::uint8_t>((rgb[i] * duty + 500) / 1000);
}

int backlight() {
  const int duty = simbacklight::duty();
  return duty < 0 ? 0 : (duty > 1000 ? 1000 : duty);
}

std::uint64_t frameNumber() { return panel().frames; }
std::uint64_t frameHash() { return panel().hash; }

}  // namespace simdisplay
