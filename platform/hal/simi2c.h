// The chip's I2C controllers as the board's devices see them, in the register ("memory") mode
// the board support's bus functions use: start, the device address, a register address of one
// or two bytes, the data bytes, stop (a read repeats the start and the device address before
// the data).
//
// A bus may carry several devices, each answering at its own address (the codec and the
// touch controller share one on this board). A transfer keeps the bus for its bits; a
// transfer started while another one is on the bus (from a context that pre-empted the first
// during its bits) finds the controller busy and fails at once, as the chip's driver does, so
// that the transfers of two devices never interleave.
#pragma once

#include <cstddef>
#include <cstdint>

namespace simhal {

// A device on an I2C bus. Calls come when the transfer's bits have gone.
class I2cDevice {
 public:
  virtual ~I2cDevice() = default;
  // The master wrote `count` bytes to register `reg` and on.
  virtual void write(std::uint16_t reg, const std::uint8_t* data, std::size_t count) = 0;
  // The master reads `count` bytes from register `reg` and on.
  virtual void read(std::uint16_t reg, std::uint8_t* out, std::size_t count) = 0;
};

// Puts `device` on bus `bus` (1..4, I2C1..I2C4) at `address` (the 8-bit write form), replacing
// the device there; nullptr takes it off.
void attachI2cDevice(int bus, std::uint8_t address, I2cDevice* device);

enum class I2cResult : std::uint8_t {
  Ok,
  NoAnswer,  // nobody acknowledged the address: the transfer ended after it
  Busy,      // another transfer is on the bus: nothing was sent
};

// A register write or read of `count` bytes; `regBytes` is 1 or 2 (sent most significant
// first). The calling context busy-waits for the transfer's bits at 100 kHz (standard mode):
// 9 bit times a byte with its acknowledge, one for the start and one for the stop (a read:
// one for the repeated start instead of the stop). A read nobody answers gives all ones.
I2cResult i2cMemWrite(int bus, std::uint8_t address, std::uint16_t reg, int regBytes,
                      const std::uint8_t* data, std::size_t count);
I2cResult i2cMemRead(int bus, std::uint8_t address, std::uint16_t reg, int regBytes,
                     std::uint8_t* out, std::size_t count);

}  // namespace simhal
