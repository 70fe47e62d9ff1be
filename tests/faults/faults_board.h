// Whole-firmware runs for the fault tests: the simulator's own runner in this process (each
// power-on a child process, as in shapeplay-sim), with the console and trace kept, and the
// serial SRAM's two record copies kept after every write the chip takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images.h"
#include "process.h"

namespace faulttest {

// A temporary folder for this test program.
const std::string& dir();

// An MP3 of a tone, mono 22.05 kHz at 64 kbit/s (cheap to decode), its pitch telling tracks
// apart.
inline std::string track(int hz, double seconds) {
  return testimg::tone(seconds, hz, 22050, 1, 64);
}
// A FAT16 stick image of our builder from a manifest.
inline std::string stick(const std::string& manifest) {
  return testimg::mkstick(manifest, {"--fat", "16"});
}
// The first sector of a file or folder on a FAT image made by our builder (no MBR), found
// with mtools (mshowfat) and the boot sector; the root folder of FAT12/16 as "/".
uint64_t firstSector(const std::string& image, const std::string& path);

// What the chip held after a write: both copies of the record with their check words.
struct ChipAfterWrite {
  uint64_t endNs = 0;    // when chip select ended the write
  uint32_t address = 0;  // where it began
  uint32_t bytes = 0;
  std::string copyA, copyB;
};

struct BoardRun {
  int status = -1;
  std::string console;
  std::string trace;
  std::vector<ChipAfterWrite> writes;
};

// Runs the simulator's scenario `script` (paths relative to dir()) with `stickImage` in the
// slot at power-on ("" for none) and the chip in the file `sram`.
BoardRun run(const std::string& script, const std::string& stickImage, const std::string& sram);

using proc::events;
using proc::field;

}  // namespace faulttest
