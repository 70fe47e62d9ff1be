// The backlight of the display. Its only control is an on/off line (high = on; PK3 on this
// board); the firmware dims it by switching the line from a timer's update interrupt (TIM4),
// 512 interrupts to a period. The model measures the share of the timer's updates after which
// the line is high, over each run of updates the timer model delivers (a batch of 512, one
// dimming period), and writes the `backlight` event {"duty": per-mille, "high": updates high,
// "period": updates} when the duty changes. The time base is the timer's update count, so the
// measurement is exact although a whole batch runs at one instant of virtual time.
//
// Before the dimmer starts, the line is an ordinary output (the start-up code switches it on)
// and its changes appear as `gpio` events; the model takes over when the timer's interrupt
// starts. Whenever the timer is not updating, a change of the line sets the duty to 0 or 1000
// at once.
#include "backlight.h"

#include "simhal.h"
#include "simtim.h"
#include "trace.h"

namespace simbacklight {
namespace {

struct Backlight {
  simhal::Line line{-1, 0};
  const TIM_TypeDef* dimmer = nullptr;
  bool measuring = false;
  bool high = false;              // PK3 now
  std::uint64_t since = 0;        // update count of the latest change, or of the window start
  std::uint64_t windowStart = 0;  // update count when the current window began
  std::uint64_t highInWindow = 0;
  int duty = -1;  // -1: not measured yet
  std::uint64_t lastHigh = 0, lastPeriod = 0;
};

Backlight& model() {
  static Backlight b;
  return b;
}

void report(Backlight& b, int duty, std::uint64_t high, std::uint64_t period) {
  b.lastHigh = high;
  b.lastPeriod = period;
  if (duty == b.duty) return;
  b.duty = duty;
  simtrace::Event e("backlight");
  e.num("duty", duty);
  if (period != 0) e.unum("high", high).unum("period", period);
}

bool lineHigh(const Backlight& b) {
  return b.line.port >= 0 && simhal::pinLevel(b.line.port, b.line.pin) &&
         simhal::pinMode(b.line.port, b.line.pin) == simhal::PinMode::Output;
}

void lineChanged(bool high) {
  Backlight& b = model();
  if (!simhal::timerUpdating(b.dimmer)) {
    b.high = high;
    report(b, high ? 1000 : 0, 0, 0);
    return;
  }
  // The level after update n lasts until update n + 1.
  const std::uint64_t now = simhal::timerUpdates(b.dimmer);
  if (b.high) b.highInWindow += now - b.since;
  b.since = now;
  b.high = high;
}

void windowEnd() {
  Backlight& b = model();
  const std::uint64_t now = simhal::timerUpdates(b.dimmer);
  if (b.high) b.highInWindow += now - b.since;
  const std::uint64_t period = now - b.windowStart;
  if (period != 0) {
    const int duty = static_cast<int>((b.highInWindow * 1000 + period / 2) / period);
    report(b, duty, b.highInWindow, period);
  }
  b.windowStart = now;
  b.since = now;
  b.highInWindow = 0;
}

// The dimmer's interrupt starts: the model measures from now on.
void startMeasuring() {
  Backlight& b = model();
  if (b.measuring) return;
  b.measuring = true;
  simhal::setQuiet(b.line.port, b.line.pin);
  b.high = lineHigh(b);
  b.since = b.windowStart = simhal::timerUpdates(b.dimmer);
  report(b, b.high ? 1000 : 0, 0, 0);
  simhal::onOutputChange(b.line.port, b.line.pin, &lineChanged);
  simhal::onTimerBatch(b.dimmer, &windowEnd);
}

}  // namespace

void connect(simhal::Line line, const TIM_TypeDef* dimmer) {
  Backlight& b = model();
  b.line = line;
  b.dimmer = dimmer;
  simhal::onTimerStart(dimmer, &startMeasuring);
}

int duty() {
  const Backlight& b = model();
  if (b.duty >= 0) return b.duty;
  return lineHigh(b) ? 1000 : 0;
}

std::uint64_t highUpdates() { return model().lastHigh; }
std::uint64_t periodUpdates() { return model().lastPeriod; }

}  // namespace simbacklight
