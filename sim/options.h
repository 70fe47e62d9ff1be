// Command line of shapeplay-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace simcli {

struct Options {
  std::string stick;        // --stick IMAGE: USB stick image inserted at power-on
  std::string sram;         // --sram FILE: file holding the battery-backed SRAM
  std::string script;       // --script FILE, or "-" for standard input
  std::string log;          // --log FILE: console output
  std::string trace;        // --trace FILE: JSON-lines event trace
  std::string wav;          // --wav FILE: audio output as WAV
  std::string saiCapture;   // --sai-capture FILE: raw samples as sent to the audio interface
  std::string screenshots;  // --screenshots DIR: folder for screenshots
  std::string stickTiming;  // --stick-timing COMMAND,BYTE: read cost of the stick
  bool scriptFromStdin = false;
  bool headless = false;
  bool realtime = false;
  bool help = false;
  std::optional<uint64_t> durationNs;  // --duration TIME
};

struct ParseResult {
  bool ok = false;
  Options options;
  std::string error;  // one line without program name or trailing newline; empty when ok
};

// argv[0] is the program name and is skipped. Options are accepted as "--opt VALUE" and
// "--opt=VALUE"; in the first form a following argument that starts with "--" is taken as a
// missing value (write "--opt=--name" for a file whose name starts with two dashes).
ParseResult parseOptions(int argc, const char* const* argv);

// Help text: synopsis, options, scenario commands and exit statuses. Ends with a newline.
std::string usageText();

// Exit statuses of shapeplay-sim.
enum ExitStatus : int {
  kExitOk = 0,        // run ended as planned
  kExitScenario = 1,  // a scenario command failed
  kExitBadInput = 2,  // bad arguments or unreadable files
  kExitDeadlock = 3,  // every thread blocked with nothing left to wake them
};

}  // namespace simcli
