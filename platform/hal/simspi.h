// The board's side of the SPI controllers: which device sits on a bus, and how long a frame
// takes there.
#pragma once

#include <cstdint>
#include <functional>

#include "stm32f7xx_hal.h"

namespace simhal {

// A device on an SPI bus: gets each byte the controller sends (MOSI) and answers with the
// byte it shifts out at the same time (MISO). Chip select is the device's own business: it
// watches its GPIO pin.
using SpiDevice = std::function<std::uint8_t(std::uint8_t mosi)>;

// Puts a device on the bus of `spi`, replacing the one there. Without a device the data-in
// line reads as all ones.
void attachSpiDevice(const SPI_TypeDef* spi, SpiDevice device);

// Virtual time of one 8-bit frame on `spi` at its configured clock; 0 before HAL_SPI_Init.
std::uint64_t spiFrameNs(const SPI_TypeDef* spi);

}  // namespace simhal
