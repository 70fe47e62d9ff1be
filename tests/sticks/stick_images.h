// Sticks as people fill them, made at test time: with mkfs.fat and mtools (an outside
// reference), with our image builder, and broken ones patched by hand. Each is made once per
// test program, in a temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process.h"

namespace sticks {

// 256 root folders "Hoerspiel 001".."Hoerspiel 256", each with title.bmp and 16 playback folders
// "CD 01".."CD 16" of one track "Track 01.mp3"; mkfs.fat's FAT16 of 64 MiB (2 KiB clusters),
// filled by mcopy.
const std::string& bigStick();
// 4,000 files "Notiz 0001.txt".. in the root before the same 256 folders; FAT32 by our builder.
const std::string& manyFilesStick();
// One root folder "Zweiter Stick" with title.bmp and "CD 1/Lied.mp3"; our builder.
const std::string& secondStick();
// What the console lists for bigStick() and manyFilesStick(): every folder's three lines.
std::string bigStickFolderLines();

// FAT32 (512-byte clusters) by mkfs.fat with 20 root folders "Ordner 01".."Ordner 20" (made by
// mmd), "Ordner 01" with title.bmp and "CD 1/Lied.mp3"; then broken:
// the root's cluster chain comes back to its first cluster after its last;
const std::string& loopingRootStick();
// the root's chain leaves the volume after its first cluster (8 folders in it), "Ordner 02"
// starts at a cluster past the volume's end, and title.bmp's chain leaves the volume;
const std::string& outsideStick();
// 100,000 more entries (files) in the root after the folders, and a folder "Zuletzt" after
// them, beyond what a directory may hold.
const std::string& hugeRootStick();

// shapeplay-sim --headless with the stick in at power-on (none if empty), a scenario and
// further arguments.
proc::Sim simulate(const std::string& stick, const std::string& script,
                   const std::vector<std::string>& more = {});

// The console lines of a trace with their times (us): "t text".
struct Line {
  long t;
  std::string text;
};
std::vector<Line> consoleLines(const std::string& trace);
// The times (us) of the trace's events of one kind whose line contains `needle`.
std::vector<long> eventTimes(const std::string& trace, const std::string& ev,
                             const std::string& needle = "");

// A settings chip (131,072 bytes) holding a valid record that lists `folderCount` folders in
// its start-up dump.
std::string sramWithFolderCount(uint16_t folderCount);

}  // namespace sticks
