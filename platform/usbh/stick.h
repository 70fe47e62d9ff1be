// The board's USB host port with a memory stick in it. A stick is a disk image file; it can
// be put in at power-on or at any moment and pulled out again. The port only sees it while
// VBUS is switched on and the controller runs.
#pragma once

#include <cstdint>
#include <string>

#include "simhal.h"
#include "simkernel.h"

namespace simusb {

// How long the stick takes, like a full-speed stick on this host: a bulk-only command with
// its status phase per read, plus the bytes at about 800 KB/s; enumeration steps of a
// control transfer each.
struct Timing {
  simk::Time perCommand = 2 * simk::kMs;
  simk::Time perByte = 1250;  // ns: about 800 KB/s
  simk::Time controlTransfer = 1 * simk::kMs;
};
Timing& timing();

struct Identity {
  std::uint16_t vid = 0x0781;  // a common stick maker
  std::uint16_t pid = 0x5567;
  std::string serial = "4C530001230517105094";
  std::string manufacturer = "shapeplay";
  std::string product = "Simulated stick";
};

// Checks that a file can serve as a stick; false with a reason when not. The stick's USB
// identity comes from IMAGE.usb beside the image when there is one (lines "vid 0x0781",
// "pid 0x5567", "serial \"TEXT\"", '#' comments), else the defaults above.
bool checkImage(const std::string& path, std::string* reason);
// Reads an identity file; false with "FILE:LINE: what" when it is malformed.
bool readIdentity(const std::string& path, Identity* identity, std::string* reason);

// The board's wiring: VBUS of the port comes from a power switch driven by `line`, on while the
// line is low. Called once at power-on.
void connectVbusSwitch(simhal::Line line);

// The board's backdoor: put a stick in (replacing one that is in) or pull it out.
void insert(const std::string& path);
void remove();
bool present();

// For the host stack: the stick the port has, while it is connected and powered.
struct Medium {
  std::uint64_t generation = 0;  // changes with every insertion
  std::uint32_t blockSize = 512;
  std::uint32_t blockCount = 0;
  Identity identity;
};
bool connected(Medium* medium);
// Reads blocks of the stick with the given generation; false if it is gone or the range is
// outside it. Takes the virtual time of the transfer in the calling context (the host
// library polls for the end of the transfer).
bool readBlocks(std::uint64_t generation, std::uint32_t lba, std::uint32_t count,
                std::uint8_t* out);
// The board's backdoor: read commands the stick has been given since power-on (each read of
// one or more blocks is one command).
std::uint64_t readCommands();

}  // namespace simusb
