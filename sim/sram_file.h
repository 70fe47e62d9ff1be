// The `--sram` file: the serial SRAM's content kept across runs and power cycles, simsram::kSize
// bytes, address 0 first. The chip model only holds bytes; the simulator loads them at each
// power-on and saves them when a life of the board ends.
#pragma once

#include <string>

namespace simrun {

// Checks the file before the board starts: an existing file must be readable, writable (with
// its folder, for the write-back through a temporary file) and exactly kSize bytes long; a
// missing one is created blank. False with a message naming the file otherwise.
bool prepareSramFile(const std::string& path, std::string& error);
// Loads the chip from the file. False with a message naming the file when it cannot.
bool loadSramFile(const std::string& path, std::string& error);
// Writes the chip to the file through a temporary file and a rename, so that the file is
// never left half-written. False with a message naming the file when it cannot.
bool saveSramFile(const std::string& path, std::string& error);

}  // namespace simrun
