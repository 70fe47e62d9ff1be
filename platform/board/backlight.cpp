// The backlight of the display. Its only control is the on/off line PK3 (high = on); the
// firmware dims it by switching the line from the TIM4 update interrupt, 512 interrupts to a
// period. The model measures the share of TIM4 updates after which PK3 is high, over each run
// of updates the timer model delivers (a batch of 512, one dimming period), and writes the
// `backlight` event {"duty": per-mille, "high": updates high, "period": updates} when the
// duty changes. The time base is TIM4's update count, so the measurement is exact although a
// whole batch runs at one instant of virtual time.
//
// Before the dimmer starts, PK3 is an ordinary output (the start-up code switches it on) and
// its changes appear as `gpio` events; the model takes over when TIM4's interrupt starts.
// Whenever TIM4 is not updating, a change of PK3 sets the duty to 0 or 1000 at once.
#include "backlight.h"

#include "simhal.h"
#include "simtim.h"
#include "trace.h"

namespace simbacklight {
namespace {

constexpr int kPort = 10;  // K
constexpr int kPin = 3;

struct Backlight {
  bool connected = false;
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

void lineChanged(bool high) {
  Backlight& b = model();
  if (!simhal::timerUpdating(TIM4)) {
    b.high = high;
    report(b, high ? 1000 : 0, 0, 0);
    return;
  }
  // The level after update n lasts until update n + 1.
  const std::uint64_t now = simhal::timerUpdates(TIM4);
  if (b.high) b.highInWindow += now - b.since;
  b.since = now;
  b.high = high;
}

void windowEnd() {
  Backlight& b = model();
  const std::uint64_t now = simhal::timerUpdates(TIM4);
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

}  // namespace

void connect() {
  Backlight& b = model();
  if (b.connected) return;
  b.connected = true;
  simhal::setQuiet(kPort, kPin);
  b.high = simhal::pinLevel(kPort, kPin) && simhal::pinMode(kPort, kPin) == simhal::PinMode::Output;
  b.since = b.windowStart = simhal::timerUpdates(TIM4);
  report(b, b.high ? 1000 : 0, 0, 0);
  simhal::onOutputChange(kPort, kPin, &lineChanged);
  simhal::onTimerBatch(TIM4, &windowEnd);
}

int duty() {
  const Backlight& b = model();
  if (b.duty >= 0) return b.duty;
  return simhal::pinLevel(kPort, kPin) && simhal::pinMode(kPort, kPin) == simhal::PinMode::Output
             ? 1000
             : 0;
}

std::uint64_t highUpdates() { return model().lastHigh; }
std::uint64_t periodUpdates() { return model().lastPeriod; }

}  // namespace simbacklight
