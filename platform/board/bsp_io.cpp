// The board support's bus functions for the devices on the control bus: what the codec
// driver (and later the touch driver) calls to reach its chip. Each is one register transfer
// on I2C3 in the driver's polling mode: the caller busy-waits for it. A failed transfer (no
// answer, or the bus taken by another device's transfer) changes nothing; a failed read gives
// all ones.
#include "simi2c.h"
#include "wiring.h"
#include "wm8994.h"

extern "C" {

void AUDIO_IO_Write(uint8_t Addr, uint16_t Reg, uint16_t Value) {
  const uint8_t data[2] = {static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value)};
  (void)simhal::i2cMemWrite(simboard::kControlBus, Addr, Reg, 2, data, sizeof data);
}

uint16_t AUDIO_IO_Read(uint8_t Addr, uint16_t Reg) {
  uint8_t data[2];
  (void)simhal::i2cMemRead(simboard::kControlBus, Addr, Reg, 2, data, sizeof data);
  return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

}  // extern "C"
