// I2C controllers I2C1..I2C4 as bus masters in register mode (simi2c.h), at 100 kHz.
//
// A transfer takes virtual time as a busy wait of the calling context; interrupts run meanwhile
// and may pre-empt it. The device gets the transfer when its last bit has gone (a write) or
// answers it then (a read). An address nobody acknowledges ends the transfer after the
// address byte. A transfer that finds the bus taken fails without sending anything and goes to
// the trace as an `i2c` event {"bus","addr","error":"busy"}.
//
// Simplified: no clock stretching, arbitration or bus errors; the chip's I2C registers and the
// driver's handle are not modelled (the firmware reaches the buses only through the board
// support's bus functions).
#include <array>
#include <cstring>
#include <map>

#include "simi2c.h"
#include "simkernel.h"
#include "trace.h"

namespace {

constexpr simk::Time kBitNs = 10 * simk::kUs;  // 100 kHz

struct Bus {
  std::map<std::uint8_t, simhal::I2cDevice*> devices;
  bool busy = false;
};

std::array<Bus, 5>& buses() {
  static std::array<Bus, 5> b;
  return b;
}

Bus* busOf(int bus) { return bus >= 1 && bus <= 4 ? &buses()[bus] : nullptr; }

simhal::I2cDevice* deviceAt(Bus& b, std::uint8_t address) {
  const auto it = b.devices.find(static_cast<std::uint8_t>(address & 0xFE));
  return it == b.devices.end() ? nullptr : it->second;
}

// Takes the bus for a transfer; false (and a trace event) when another transfer has it.
bool take(Bus& b, int bus, std::uint8_t address) {
  if (!b.busy) {
    b.busy = true;
    return true;
  }
  simtrace::Event("i2c").num("bus", bus).unum("addr", address).str("error", "busy");
  return false;
}

// The start, the address byte and the stop of a transfer nobody answers.
constexpr simk::Time kUnansweredNs = (1 + 9 + 1) * kBitNs;

}  // namespace

namespace simhal {

void attachI2cDevice(int bus, std::uint8_t address, I2cDevice* device) {
  Bus* b = busOf(bus);
  if (b == nullptr) return;
  const auto key = static_cast<std::uint8_t>(address & 0xFE);
  if (device == nullptr) {
    b->devices.erase(key);
  } else {
    b->devices[key] = device;
  }
}

namespace {

// One memory transfer: the bus taken, the device at `address` found, the bus held for the
// transfer's bits (`bytes` on the wire after the start and the address), then `access`.
template <typename Access>
I2cResult transfer(int bus, std::uint8_t address, simk::Time bytes, Access access) {
  Bus* b = busOf(bus);
  if (b == nullptr) return I2cResult::NoAnswer;
  if (!take(*b, bus, address)) return I2cResult::Busy;
  I2cDevice* device = deviceAt(*b, address);
  if (device == nullptr) {
    simk::busyWait(kUnansweredNs);
    b->busy = false;
    return I2cResult::NoAnswer;
  }
  simk::busyWait((2 + 9 * bytes) * kBitNs);
  b->busy = false;
  access(*device);
  return I2cResult::Ok;
}

}  // namespace

I2cResult i2cMemWrite(int bus, std::uint8_t address, std::uint16_t reg, int regBytes,
                      const std::uint8_t* data, std::size_t count) {
  // The address, the register, the data.
  return transfer(bus, address, 1 + static_cast<simk::Time>(regBytes) + count,
                  [&](I2cDevice& d) { d.write(reg, data, count); });
}

I2cResult i2cMemRead(int bus, std::uint8_t address, std::uint16_t reg, int regBytes,
                     std::uint8_t* out, std::size_t count) {
  std::memset(out, 0xFF, count);
  // The address, the register, the address again after the repeated start, the data.
  return transfer(bus, address, 2 + static_cast<simk::Time>(regBytes) + count,
                  [&](I2cDevice& d) { d.read(reg, out, count); });
}

}  // namespace simhal
