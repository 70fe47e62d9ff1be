// The WS2811 chain: three LEDs in a row on one data line (PB4 on this board, driven by TIM3
// channel 1 as its alternate function 2).
//
// Each LED takes the first 24 bits it receives after a reset and passes the rest on; a line
// held low for 50 us or more is a reset, at which every LED that has received its 24 bits
// shows them. Bits arrive most significant first in the order blue, red, green (the wiring of
// this board; the chip's own order is red, green, blue).
//
// A bit is one high pulse: the chain runs in the WS2811's fast mode (0 = 0.25 us high,
// 1 = 0.6 us high), and a pulse longer than the middle, 0.425 us, is a 1. With the firmware's
// 1.81 us bit period its 0.30 us and 0.80 us pulses decode as 0 and 1. (Half the bit period,
// 0.905 us, would not do as the threshold: it would read the 0.80 us pulse as a 0.)
//
// Simplifications: only the bursts the timer sends are decoded; between bursts the line is not
// watched (the firmware holds it high there), so bits after a burst's last reset wait for the
// next reset. When the data line is not switched to the timer during a burst, the chain
// receives nothing.
// After each burst the `leds` event gives the colours shown.
#include "ws2811_chain.h"

#include <string>

#include "simhal.h"
#include "trace.h"

namespace simws2811 {
namespace {

constexpr simk::Time kResetNs = 50 * simk::kUs;
constexpr simk::Time kOneThresholdPs = 425000;  // picoseconds
constexpr int kBitsPerLed = 24;
constexpr std::size_t kChainBits = kLeds * kBitsPerLed;

struct Chain {
  simhal::Line data{-1, 0};
  std::array<Rgb, kLeds> shown{};
  std::vector<bool> bits;  // received since the last reset
  unsigned bursts = 0;
  std::vector<std::uint32_t> last;
};

Chain& chain() {
  static Chain c;
  return c;
}

Rgb decodeLed(const std::vector<bool>& bits, int led) {
  auto byteAt = [&](int first) {
    std::uint8_t v = 0;
    for (int i = 0; i < 8; ++i) v = static_cast<std::uint8_t>((v << 1) | (bits[first + i] ? 1 : 0));
    return v;
  };
  const int base = led * kBitsPerLed;
  Rgb c;
  c.b = byteAt(base);
  c.r = byteAt(base + 8);
  c.g = byteAt(base + 16);
  return c;
}

void latch(Chain& c) {
  for (int led = 0; led < kLeds; ++led) {
    if (static_cast<int>(c.bits.size()) >= (led + 1) * kBitsPerLed) {
      c.shown[led] = decodeLed(c.bits, led);
    }
  }
  c.bits.clear();
}

void traceColours(const Chain& c) {
  std::string rgb = "[";
  for (int led = 0; led < kLeds; ++led) {
    const Rgb& v = c.shown[led];
    rgb += (led == 0 ? "[" : ",[") + std::to_string(v.r) + "," + std::to_string(v.g) + "," +
           std::to_string(v.b) + "]";
  }
  rgb += "]";
  simtrace::Event("leds").raw("rgb", rgb);
}

void receive(const simhal::PwmBurst& burst) {
  Chain& c = chain();
  ++c.bursts;
  c.last = burst.highClocks;
  // The data line carries the timer's output only as alternate function.
  if (c.data.port >= 0 && simhal::pinMode(c.data.port, c.data.pin) == simhal::PinMode::Alternate &&
      burst.clockHz != 0) {
    const auto ps = [&](std::uint64_t clocks) { return clocks * 1000000000000ULL / burst.clockHz; };
    const simk::Time periodPs = ps(burst.periodClocks);
    simk::Time lowPs = 0;  // the line's low time since the last pulse
    for (std::uint32_t high : burst.highClocks) {
      if (high == 0) {
        lowPs += periodPs;
        continue;
      }
      if (lowPs >= kResetNs * 1000) latch(c);
      const simk::Time highPs = ps(high);
      // Bits beyond the last LED leave the chain at its far end.
      if (c.bits.size() < kChainBits) {
        c.bits.push_back(highPs > kOneThresholdPs);
      }
      lowPs = periodPs > highPs ? periodPs - highPs : 0;
    }
    if (lowPs >= kResetNs * 1000) latch(c);
  }
  traceColours(c);
}

}  // namespace

void connect(const TIM_TypeDef* tim, unsigned channel, simhal::Line data) {
  chain().data = data;
  simhal::attachPwmOutput(tim, channel, &receive);
}

std::array<Rgb, kLeds> colours() { return chain().shown; }

unsigned bursts() { return chain().bursts; }

std::vector<std::uint32_t> lastBurst() { return chain().last; }

}  // namespace simws2811
