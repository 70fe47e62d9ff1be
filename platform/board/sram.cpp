// Serial SRAM in the style of Microchip's 23LC1024: 128 KiB on SPI mode 0 or 3, MSB first,
// chip select active low.
//
// A transfer starts when chip select goes low: an instruction byte, then for READ (0x03) and
// WRITE (0x02) a 24-bit address (the upper 7 bits are ignored) and the data bytes; RDMR
// (0x05) shifts out the mode register, WRMR (0x01) sets it from the next byte. Chip select
// high ends the transfer. The mode register (bits 7..6) chooses how the address moves on
// after each data byte:
// - 01 sequential, the power-up mode: through the whole array, wrapping from the last byte
//   to address 0;
// - 10 page: within the 32-byte page of the start address, wrapping to the page's start;
// - 00 byte: one data byte per transfer; further bytes are not written and read as 0xFF.
// The reserved value 11 behaves as byte mode here.
//
// Each transfer's data phase goes to the trace as a `sram` event with its op and byte count,
// when chip select goes high. Outside a data phase the chip's output is not driven and reads
// as 0xFF.
//
// Simplified: the dual and quad instructions (EDIO, EQIO, RSTIO) and unknown instructions are
// accepted and ignored for the rest of the transfer. The mode register returns to sequential
// at every power-on, while the array keeps its content (the simulator loads it from the
// `--sram` file before the firmware starts). A transfer starts at a falling edge of chip
// select: the chip is deselected at power-on until the line first goes low. Timing is the SPI
// controller's (platform/hal/spi.cpp); the chip adds none.
#include "sram.h"

#include <array>

#include "simhal.h"
#include "simspi.h"
#include "trace.h"

namespace simsram {
namespace {

constexpr std::uint32_t kAddressMask = kSize - 1;
constexpr std::uint8_t kRead = 0x03, kWrite = 0x02, kRdmr = 0x05, kWrmr = 0x01;

enum class Phase { Deselected, Instruction, Address, Data, ModeRead, ModeWrite, Ignore };

struct Chip {
  std::array<std::uint8_t, kSize> memory;
  std::uint8_t mode = kModeSequential;
  Phase phase = Phase::Deselected;
  std::uint8_t instruction = 0;
  int addressBytes = 0;
  std::uint32_t address = 0;
  std::uint32_t dataStart = 0;
  std::uint32_t dataBytes = 0;
  std::function<void(std::uint32_t, std::uint32_t)> writeEnd;

  Chip() { memory.fill(kBlank); }
};

Chip& chip() {
  static Chip c;
  return c;
}

void advance(Chip& c) {
  if ((c.mode & 0xC0) == kModePage) {
    c.address = (c.address & ~31U) | ((c.address + 1) & 31U);
  } else {
    c.address = (c.address + 1) & kAddressMask;
  }
}

std::uint8_t dataByte(Chip& c, std::uint8_t mosi) {
  const bool byteMode = (c.mode & 0xC0) == kModeByte || (c.mode & 0xC0) == 0xC0;
  const bool first = c.dataBytes == 0;
  ++c.dataBytes;
  if (byteMode && !first) return 0xFF;
  std::uint8_t out = 0xFF;
  if (c.instruction == kRead) {
    out = c.memory[c.address];
  } else {
    c.memory[c.address] = mosi;
  }
  advance(c);
  return out;
}

std::uint8_t clockByte(std::uint8_t mosi) {
  Chip& c = chip();
  switch (c.phase) {
    case Phase::Deselected:
    case Phase::Ignore: return 0xFF;
    case Phase::Instruction:
      c.instruction = mosi;
      switch (mosi) {
        case kRead:
        case kWrite:
          c.phase = Phase::Address;
          c.addressBytes = 0;
          c.address = 0;
          break;
        case kRdmr: c.phase = Phase::ModeRead; break;
        case kWrmr: c.phase = Phase::ModeWrite; break;
        default: c.phase = Phase::Ignore; break;
      }
      return 0xFF;
    case Phase::Address:
      c.address = (c.address << 8) | mosi;
      if (++c.addressBytes == 3) {
        c.address &= kAddressMask;
        c.dataStart = c.address;
        c.phase = Phase::Data;
        c.dataBytes = 0;
      }
      return 0xFF;
    case Phase::Data: return dataByte(c, mosi);
    case Phase::ModeRead: return c.mode;
    case Phase::ModeWrite:
      c.mode = mosi & 0xC0;
      c.phase = Phase::Ignore;
      return 0xFF;
  }
  return 0xFF;
}

void chipSelect(bool high) {
  Chip& c = chip();
  if (!high) {
    c.phase = Phase::Instruction;
    return;
  }
  const bool wrote = c.phase == Phase::Data && c.dataBytes > 0 && c.instruction == kWrite;
  if (c.phase == Phase::Data && c.dataBytes > 0) {
    simtrace::Event("sram")
        .str("op", c.instruction == kRead ? "read" : "write")
        .unum("bytes", c.dataBytes);
  }
  c.phase = Phase::Deselected;
  if (wrote && c.writeEnd) c.writeEnd(c.dataStart, c.dataBytes);
}

}  // namespace

void connect(const SPI_TypeDef* spi, simhal::Line select) {
  simhal::setQuiet(select.port, select.pin);  // the chip reports its transfers itself
  simhal::onOutputChange(select.port, select.pin, &chipSelect);
  simhal::attachSpiDevice(spi, &clockByte);
}

void read(std::uint32_t address, void* out, std::size_t length) {
  auto* bytes = static_cast<std::uint8_t*>(out);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = chip().memory[(address + i) & kAddressMask];
}

void write(std::uint32_t address, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < length; ++i) chip().memory[(address + i) & kAddressMask] = bytes[i];
}

void fill(std::uint8_t value) { chip().memory.fill(value); }

std::uint8_t modeRegister() { return chip().mode; }

void onWriteEnd(std::function<void(std::uint32_t, std::uint32_t)> listener) {
  chip().writeEnd = std::move(listener);
}

}  // namespace simsram
