// WM8994 codec, control side (Wolfson/Cirrus WM8994; register facts in the project's
// hardware notes, from the Linux wm8994 register map).
//
// Every write on the control bus (16-bit register index, 16-bit value, most significant byte
// first, device address 0x34) lands in a register file of 65,536 registers and goes to the
// trace as a `codec` event {"reg","val"}. Writing register 0 resets every register; reading
// it gives the chip id 0x8994. The playback path's soft mute is bit 9 of 0x0420 (AIF1 DAC1
// filters): the firmware applies its 3D and equaliser settings to the DAC1 path, so that is
// the path this board plays, and a change of that bit goes to the trace as {"mute":true} or
// {"mute":false}. The chip comes out of reset muted.
//
// Reset values: those of the registers the firmware uses (speaker boost 0x0025 = 0x0140,
// speaker volumes 0x0026/0x0027 = 0x0079, DAC1 filters 0x0420 = 0x0200, 3D 0x0421 = 0x0010,
// equaliser 0x0480 = 0x6318 and 0x0481 = 0x6300); DAC2 filters 0x0422 are taken to come up
// muted like DAC1 (0x0200), which the sources did not confirm. Every other register reads 0
// after reset, and registers the real chip does not have are kept like the others.
//
// Timing: the bus runs at 100 kHz (standard mode; the board's real I2C timing was not
// confirmed). A write is a start, five bytes of nine clocks and a stop, 470 us; a read (with
// its repeated start) 560 us. The caller busy-waits for it, as the polling driver does;
// interrupts run meanwhile and can pre-empt it. Writes to another device address get no
// answer and change nothing.
#include "codec.h"

#include <array>

#include "simkernel.h"
#include "trace.h"
#include "wm8994.h"

namespace simcodec {
namespace {

constexpr simk::Time kBitNs = 10 * simk::kUs;  // 100 kHz
constexpr simk::Time kWriteNs = 47 * kBitNs;
constexpr simk::Time kReadNs = 56 * kBitNs;
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

}  // namespace

std::uint16_t reg(std::uint16_t index) {
  return index == WM8994_CHIPID_ADDR ? WM8994_ID : codec().regs[index];
}

bool muted() { return codec().muted(); }

std::uint64_t writeCount() { return codec().writes; }

namespace {
void (*beforeWrite)() = nullptr;
}

void setBeforeWrite(void (*listener)()) { beforeWrite = listener; }

}  // namespace simcodec

extern "C" {

void AUDIO_IO_Write(uint8_t Addr, uint16_t Reg, uint16_t Value) {
  simk::busyWait(simcodec::kWriteNs);
  if (Addr != simcodec::kAddress) return;
  if (simcodec::beforeWrite != nullptr) simcodec::beforeWrite();
  auto& c = simcodec::codec();
  const bool wasMuted = c.muted();
  ++c.writes;
  simtrace::Event("codec").unum("reg", Reg).unum("val", Value);
  if (Reg == WM8994_CHIPID_ADDR) {
    c.reset();
  } else {
    c.regs[Reg] = Value;
  }
  if (c.muted() != wasMuted) simtrace::Event("codec").boolean("mute", c.muted());
}

uint16_t AUDIO_IO_Read(uint8_t Addr, uint16_t Reg) {
  simk::busyWait(simcodec::kReadNs);
  // Nobody answers at another address: the bus reads all ones.
  if (Addr != simcodec::kAddress) return 0xFFFF;
  return simcodec::reg(Reg);
}

}  // extern "C"
