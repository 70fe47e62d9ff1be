// WM8994 codec (Wolfson/Cirrus), control side: its register file, with the chip's register
// numbers and the reset values of the registers the firmware uses.
//
// Every write on the control bus (an I2C device at 0x34: 16-bit register index, 16-bit values,
// most significant byte first) lands in a register file of 65,536 registers and goes to the
// trace as a `codec` event {"reg","val"}. Writing register 0 resets every register; reading
// it gives the chip id 0x8994. The playback path's soft mute is bit 9 of 0x0420 (AIF1 DAC1
// filters): the firmware applies its 3D and equaliser settings to the DAC1 path, so that is
// the path this board plays, and a change of that bit goes to the trace as {"mute":true} or
// {"mute":false}. The chip comes out of reset muted.
//
// Reset values: those of the registers the firmware uses (speaker boost 0x0025 = 0x0140,
// speaker volumes 0x0026/0x0027 = 0x0079, DAC1 filters 0x0420 = 0x0200, 3D 0x0421 = 0x0010,
// equaliser 0x0480 = 0x6318 and 0x0481 = 0x6300); DAC2 filters 0x0422 are taken to come up
// muted like DAC1 (0x0200), an assumption of this model. Every other register reads 0 after
// reset, and registers the real chip does not have are kept like the others.
//
// Timing is the bus's (platform/hal/i2c.cpp, 100 kHz): a register write takes 470 us, a read
// 560 us. Before each write takes effect, the playback path finishes the frames played with
// the old settings.
#include "codec.h"

#include <array>

#include "codec_path.h"
#include "simi2c.h"
#include "trace.h"
#include "wm8994.h"

namespace simcodec {
namespace {

constexpr std::uint16_t kDac1Filters = 0x0420;
constexpr std::uint16_t kSoftMute = 1U << 9;

struct Codec {
  std::array<std::uint16_t, 0x10000> regs{};
  std::uint64_t writes = 0;
  Codec() { reset(); }
  void reset() {
    regs.fill(0);
    regs[0x0025] = 0x0140;
    regs[0x0026] = 0x0079;
    regs[0x0027] = 0x0079;
    regs[0x0420] = 0x0200;
    regs[0x0421] = 0x0010;
    regs[0x0422] = 0x0200;
    regs[0x0480] = 0x6318;
    regs[0x0481] = 0x6300;
  }
  bool muted() const { return (regs[kDac1Filters] & kSoftMute) != 0; }
};

Codec& codec() {
  static Codec c;
  return c;
}

void writeRegister(std::uint16_t index, std::uint16_t value) {
  simaudio::codecWillChange();
  Codec& c = codec();
  const bool wasMuted = c.muted();
  ++c.writes;
  simtrace::Event("codec").unum("reg", index).unum("val", value);
  if (index == WM8994_CHIPID_ADDR) {
    c.reset();
  } else {
    c.regs[index] = value;
  }
  if (c.muted() != wasMuted) simtrace::Event("codec").boolean("mute", c.muted());
}

// The control interface: 16-bit registers, two bytes each, most significant first; a longer
// write goes on to the next register.
class ControlPort : public simhal::I2cDevice {
 public:
  void write(std::uint16_t reg, const std::uint8_t* data, std::size_t count) override {
    for (std::size_t i = 0; i + 1 < count; i += 2) {
      writeRegister(static_cast<std::uint16_t>(reg + i / 2),
                    static_cast<std::uint16_t>(data[i] << 8 | data[i + 1]));
    }
  }
  void read(std::uint16_t reg, std::uint8_t* out, std::size_t count) override {
    for (std::size_t i = 0; i + 1 < count; i += 2) {
      const std::uint16_t v = simcodec::reg(static_cast<std::uint16_t>(reg + i / 2));
      out[i] = static_cast<std::uint8_t>(v >> 8);
      out[i + 1] = static_cast<std::uint8_t>(v);
    }
  }
};

}  // namespace

void connect(int bus, const SAI_Block_TypeDef* audioInterface) {
  static ControlPort port;
  simhal::attachI2cDevice(bus, kAddress, &port);
  simaudio::connectPlayback(audioInterface);
}

std::uint16_t reg(std::uint16_t index) {
  return index == WM8994_CHIPID_ADDR ? WM8994_ID : codec().regs[index];
}

bool muted() { return codec().muted(); }

std::uint64_t writeCount() { return codec().writes; }

}  // namespace simcodec
