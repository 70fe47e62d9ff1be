// Scenario scripts: what the simulated user does, and when.
//
// One command a line; '#' starts a comment that runs to the end of the line. Blank lines are
// ignored, tokens are separated by spaces or tabs, and CRLF line ends are accepted. Every
// command runs at the virtual time given by the sum of the waits and drags before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace simscn {

enum class Op {
  Wait,
  Insert,
  Remove,
  Touch,
  Press,
  Release,
  Drag,
  Turn,
  Key,
  Mono,
  Light,
  Screenshot,
  PowerOn,
  Event,
  Keycode,
  PowerCut,
  StickFault
};

// Screen size in portrait orientation.
constexpr int kScreenWidth = 272;
constexpr int kScreenHeight = 480;
constexpr int64_t kMaxTurn = 100000;
constexpr int64_t kMaxLight = 4095;

struct Command {
  Op op = Op::Wait;
  int line = 0;
  uint64_t timeNs = 0;      // virtual time at which the command runs
  uint64_t durationNs = 0;  // wait, drag
  std::string path;         // insert, screenshot: relative paths resolved against the script
  int x = 0, y = 0, x2 = 0, y2 = 0;  // touch, press: x, y; drag: all four
  int64_t n = 0;       // turn: detents; light: reading; mono: 1 = on, 0 = off; keycode: the code;
                       // stick fault: the first sector
  std::string key;     // key: "parents" or "power"; stick fault: "sector", "stall", "slow",
                       // "clear"
  std::string action;  // key: "down", "up" or "tap"
  uint64_t count = 0;  // stick fault SECTOR COUNT: sectors; stall: commands; slow: the factor
  uint8_t button = 0;  // event
  uint32_t mainFolder = 0;  // event main=
  uint8_t playback = 0;     // event playback=
  uint32_t param = 0;       // event param=
  // event: the parents' settings it carries (any of maxvol=, boost=, effect3d=, resume=,
  // eq1= .. eq5= given); the others keep the defaults of the parents' settings.
  bool hasSettings = false;
  int32_t maxVolume = 63, spkBoost = 7, effect3d = 0;
  int32_t equalizer[5] = {12, 12, 12, 12, 12};
  bool positionResume = false;
};

struct Script {
  std::vector<Command> commands;
  uint64_t endNs = 0;  // virtual time after the last command, including its wait or drag
  std::string file;
};

struct ParseError {
  std::string file;
  int line = 0;  // 0 when the error is about the file as a whole
  std::string message;
  std::string text() const;  // "FILE:LINE: message", or "FILE: message" for line 0
};

// fileName is used in messages; baseDir is the folder that relative paths are resolved against
// (empty: leave them as they are).
std::variant<Script, ParseError> parseScript(std::string_view text, const std::string& fileName,
                                             const std::string& baseDir);

// Reads and parses a script file; "-" reads standard input (named "<stdin>" in messages, with
// paths relative to the current folder).
std::variant<Script, ParseError> loadScript(const std::string& path);

// One-line description for messages, in script syntax, e.g. "turn 3" or "wait 250ms".
std::string describe(const Command& command);

// GUI event button names (BTN_PlayPause and so on). nullptr / nullopt when unknown.
const char* buttonName(uint8_t button);
std::optional<uint8_t> buttonFromName(std::string_view name);

}  // namespace simscn
