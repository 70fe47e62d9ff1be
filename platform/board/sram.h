// The serial SRAM: a 23LC1024-style chip of 128 KiB that keeps the player's settings while the
// player is off. The chip only holds bytes; the simulator loads and saves them (`--sram`)
// through the backdoor below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "simhal.h"

namespace simsram {

inline constexpr std::size_t kSize = 131072;
// Content of a chip that has never been written (this board's choice; the real chip holds
// undefined data).
inline constexpr std::uint8_t kBlank = 0x00;

// Mode register values (bits 7..6).
inline constexpr std::uint8_t kModeByte = 0x00;
inline constexpr std::uint8_t kModePage = 0x80;
inline constexpr std::uint8_t kModeSequential = 0x40;

// Puts the chip on the bus of `spi` with its chip select on `chipSelect` (active low). Called
// once at power-on by the board's wiring.
void connect(const SPI_TypeDef* spi, simhal::Line chipSelect);

// ---- backdoor (the simulator's chip file, tests): the memory array, not through the bus, no
// trace, no time
void read(std::uint32_t address, void* out, std::size_t length);
void write(std::uint32_t address, const void* data, std::size_t length);
void fill(std::uint8_t value);
std::uint8_t modeRegister();
// Called whenever chip select ends a write that stored data, with the address of its first
// byte and the number of bytes (tests keep the chip's content after each write with it). Set
// before the board starts; an empty function removes it.
void onWriteEnd(std::function<void(std::uint32_t first, std::uint32_t bytes)> listener);

}  // namespace simsram
