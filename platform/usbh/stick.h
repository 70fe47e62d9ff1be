// The board's USB host port with a memory stick in it. A stick is a disk image file; it can
// be put in at power-on or at any moment and pulled out again. The port only sees it while
// VBUS is switched on and the controller runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// Reads an identity file; false with "FILE:LINE: what" when it is malformed. Lines hold at most
// kMaxIdentityLine characters (without the line end); a longer one is refused as too long.
inline constexpr std::size_t kMaxIdentityLine = 511;
inline constexpr std::size_t kMaxIdentityFile = 1 << 20;
bool readIdentity(const std::string& path, Identity* identity, std::string* reason);
// The same for the text of such a file, named `name` in messages.
bool parseIdentity(std::string_view text, const std::string& name, Identity* identity,
                   std::string* reason);

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
// Faults of the stick in the slot (the scenario's `stick fault`): blocks that cannot be read,
// commands that get no answer, a slow stick. They belong to that stick: putting a stick in or
// pulling it out clears them.
struct BlockRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
};
struct Faults {
  std::vector<BlockRange> unreadable;  // a read that touches one of these blocks fails
  std::uint32_t stalls = 0;            // the next commands get no answer at all
  std::uint32_t slowFactor = 1;        // every command takes this many times as long
};
// The board's backdoor: the faults of the stick in the slot (ignored without a stick).
void setFaults(const Faults& faults);
const Faults& faults();

enum class ReadResult {
  Ok,
  Gone,         // the stick is gone, or the range is outside it
  MediumError,  // a block of the range cannot be read
  NoAnswer,     // the stick did not answer within `timeout`
};
// Reads blocks of the stick with the given generation. Takes the virtual time of the transfer
// in the calling context (the host library polls for the end of the transfer); a command the
// stick does not answer takes `timeout`, after which the host gives up.
ReadResult readBlocks(std::uint64_t generation, std::uint32_t lba, std::uint32_t count,
                      std::uint8_t* out, simk::Time timeout);
// The board's backdoor: read commands the stick has been given since power-on (each read of
// one or more blocks is one command).
std::uint64_t readCommands();

}  // namespace simusb
