// The serial SRAM on SPI2 (chip select PA8): a 23LC1024-style chip of 128 KiB that keeps
// the player's settings while the player is off. Its content can be kept in a file across
// runs (`--sram`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace simsram {

inline constexpr std::size_t kSize = 131072;
// Content of a chip that has never been written (this board's choice; the real chip holds
// undefined data).
inline constexpr std::uint8_t kBlank = 0x00;

// Mode register values (bits 7..6).
inline constexpr std::uint8_t kModeByte = 0x00;
inline constexpr std::uint8_t kModePage = 0x80;
inline constexpr std::uint8_t kModeSequential = 0x40;

// Wires the chip to SPI2 and its chip select PA8. Called by the SPI2 set-up; calling it again
// does nothing.
void connect();

// ---- test backdoor: the memory array, not through the bus, no trace, no time
void read(std::uint32_t address, void* out, std::size_t length);
void write(std::uint32_t address, const void* data, std::size_t length);
void fill(std::uint8_t value);
std::uint8_t modeRegister();

// ---- the file that keeps the content: kSize bytes, address 0 first
// Checks the file before the board starts: an existing file must be readable and exactly kSize
// bytes long; a missing one is created blank. False with a message naming the file otherwise.
bool prepareFile(const std::string& path, std::string& error);
// Loads the chip from the file. False with a message naming the file when it cannot.
bool loadFile(const std::string& path, std::string& error);
// Writes the chip to the file through a temporary file and a rename, so that the file is
// never left half-written. False with a message naming the file when it cannot.
bool saveFile(const std::string& path, std::string& error);

}  // namespace simsram
