// Driver of the serial SRAM (23LC1024 style) on SPI2: one blocking transfer per block, with
// the chip in its power-up sequential mode so that one run of data bytes covers any length.
#pragma once

#include <cstdint>

#include "stm32f7xx_hal.h"

class SpiSram {
 public:
  // Chip select (port A pin 8), active low.
  void cs(uint8_t level);
  // Pins, SPI2 clock and SPI2 set-up: master, full duplex, 8-bit frames, mode 0, MSB first,
  // software chip select, 12.5 MHz (prescaler 4 from the 50 MHz bus).
  void init();
  void readBlock(uint32_t address, uint8_t* data, uint16_t length);
  void writeBlock(uint32_t address, uint8_t* data, uint16_t length);

 private:
  void transfer(uint8_t instruction, uint32_t address, uint8_t* data, uint16_t length);

  const uint8_t readCmd = 3;
  const uint8_t writeCmd = 2;
  SPI_HandleTypeDef SpiHandle = {};
};
