#include "options.h"

#include <string_view>

#include "timefmt.h"

namespace simcli {
namespace {

enum class Kind { Path, Time, Flag };

struct OptionDef {
  std::string_view name;  // without the leading dashes
  Kind kind;
  std::string Options::*path = nullptr;  // for Kind::Path
  bool Options::*flag = nullptr;         // for Kind::Flag
};

const OptionDef kOptions[] = {
    {"stick", Kind::Path, &Options::stick},
    {"sram", Kind::Path, &Options::sram},
    {"script", Kind::Path, &Options::script},
    {"headless", Kind::Flag, nullptr, &Options::headless},
    {"duration", Kind::Time},
    {"log", Kind::Path, &Options::log},
    {"trace", Kind::Path, &Options::trace},
    {"wav", Kind::Path, &Options::wav},
    {"sai-capture", Kind::Path, &Options::saiCapture},
    {"screenshots", Kind::Path, &Options::screenshots},
    {"stick-timing", Kind::Path, &Options::stickTiming},
    {"realtime", Kind::Flag, nullptr, &Options::realtime},
    {"help", Kind::Flag, nullptr, &Options::help},
};
constexpr size_t kOptionCount = sizeof kOptions / sizeof kOptions[0];

ParseResult failure(std::string message) {
  ParseResult r;
  r.ok = false;
  r.error = std::move(message);
  return r;
}

// Arguments are quoted in messages; keep messages on one line and reasonably short even when
// the argument is not.
std::string quoted(std::string_view s) {
  std::string out = "'";
  const size_t limit = 60;
  for (size_t i = 0; i < s.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7f) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  if (s.size() > limit) out += "...";
  out += "'";
  return out;
}

}  // namespace

ParseResult parseOptions(int argc, const char* const* argv) {
  ParseResult result;
  Options& o = result.options;
  bool seen[kOptionCount] = {};

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i] ? argv[i] : "";
    if (arg.size() < 3 || arg.substr(0, 2) != "--") {
      if (!arg.empty() && arg[0] == '-') return failure("unknown option " + quoted(arg));
      return failure("unexpected argument " + quoted(arg) + " (options start with --)");
    }

    const size_t eq = arg.find('=');
    const std::string_view name = arg.substr(2, eq == std::string_view::npos ? eq : eq - 2);
    size_t index = kOptionCount;
    for (size_t k = 0; k < kOptionCount; ++k) {
      if (kOptions[k].name == name) index = k;
    }
    if (index == kOptionCount) {
      return failure("unknown option " + quoted(std::string("--") + std::string(name)));
    }
    const OptionDef& def = kOptions[index];
    const std::string display = "--" + std::string(def.name);
    if (seen[index]) return failure("option " + display + " given more than once");
    seen[index] = true;

    if (def.kind == Kind::Flag) {
      if (eq != std::string_view::npos) return failure("option " + display + " takes no value");
      o.*def.flag = true;
      continue;
    }

    std::string_view value;
    if (eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
    } else {
      if (i + 1 >= argc || argv[i + 1] == nullptr ||
          std::string_view(argv[i + 1]).substr(0, 2) == "--") {
        return failure("option " + display + " needs a value");
      }
      value = argv[++i];
    }
    if (value.empty()) return failure("option " + display + " needs a value");

    if (def.kind == Kind::Time) {
      const std::optional<uint64_t> ns = parseTimeNs(value);
      if (!ns) {
        return failure("option " + display + ": bad time " + quoted(value) +
                       " (a number with a unit: ns, us, ms, s or m, e.g. 250ms)");
      }
      o.durationNs = *ns;
      continue;
    }

    o.*def.path = std::string(value);
    if (def.path == &Options::script && value == "-") o.scriptFromStdin = true;
  }

  result.ok = true;
  return result;
}

std::string usageText() {
  return R"(Usage: shapeplay-sim [--stick IMAGE] [--sram FILE] [--script FILE|-] [--headless]
                     [--duration TIME] [--log FILE] [--trace FILE] [--wav FILE]
                     [--sai-capture FILE] [--screenshots DIR] [--realtime] [--help]

Runs the player firmware on a simulated board in virtual time. Without --headless, when
there is a display, the device opens in a window that follows the wall clock: the panel, the
LEDs, the knob (wheel or arrow keys), the parents' and power keys (click, or P and O), the
mono switch, a light slider and a stick slot (drop a stick image or a music folder on the
window); the speaker plays. A script still runs in it; the run ends when the window closes
(or at --duration).

Options:
  --stick IMAGE        USB stick image (FAT file system) inserted at power-on
  --sram FILE          file holding the battery-backed SRAM
  --script FILE|-      scenario script to run ("-" reads it from standard input)
  --headless           run without a window, as fast as the host allows
  --duration TIME      stop after this much virtual time
  --log FILE           write the firmware's console output to FILE
  --trace FILE         write a JSON-lines trace of simulated events to FILE
  --wav FILE           write the audio output to FILE as WAV
  --sai-capture FILE   write the raw samples sent to the audio interface to FILE
  --screenshots DIR    write DIR/NNNN-SCREEN-MS.png each time the panel's picture
                       changes (NNNN its frame number, SCREEN the screen shown, MS
                       the virtual milliseconds); DIR is made if missing
  --stick-timing C,B   time a stick read takes: C per command plus B per byte
                       (default 2ms,1250ns: about 800 KB/s, a full-speed stick)
  --realtime           pace virtual time to the wall clock (a window always does)
  --help               show this text and exit

TIME is a non-negative number with a unit: ns, us, ms, s or m (minutes),
e.g. 250ms, 2s, 1.5s, 1m.

Scenario commands (one a line, # starts a comment):
  wait TIME                      let virtual time pass
  insert IMAGE                   put a stick in (relative to the script's folder)
  remove                         pull the stick out
  touch X Y                      tap (down for 100ms) at X 0..271, Y 0..479 of the
                                 screen as the child sees it (as in a screenshot)
  press X Y                      finger down (on a finger already down: move it)
  release                        finger up
  drag X1 Y1 X2 Y2 TIME          finger down at X1 Y1, moved evenly to X2 Y2 in
                                 TIME, lifted 20ms after it arrived
  turn N                         encoder detents, positive = clockwise
  key parents|power down|up|tap  press or release a key, or both
  mono on|off                    mono switch
  light VALUE                    raw 12-bit light-sensor reading 0..4095
  screenshot FILE                the screen as the child sees it (272 x 480) as PNG
                                 (relative to the script's folder)
  keycode N                      key code N (0..255) to the screen shown, e.g. 113 (q)
  power on                       start again after a power-off or a cut
  power cut                      the supply is lost at this instant, wherever the
                                 firmware is (even between two bytes of a transfer);
                                 the SRAM keeps what it holds
  stick fault SECTOR [COUNT]     read errors: every read that touches one of COUNT
                                 (default 1) sectors from SECTOR on fails (sectors of
                                 the stick, counted from the image's start)
  stick fault stall [COUNT]      the next COUNT (default 1) commands get no answer;
                                 the host gives each up after 5s
  stick fault slow FACTOR        every command takes FACTOR (1..1000) times as long
  stick fault clear              the stick works again
                                 (faults belong to the stick in the slot: insert and
                                 remove clear them; a power cycle ends a stall)
  event BUTTON [main=N] [playback=N] [param=N]
                                 a request to the main loop as the screens send it;
                                 BUTTON is a BTN_ name or 0..255; for
                                 BTN_ParentSettingsChanged add any of maxvol=N
                                 boost=N effect3d=N resume=0|1 eq1=N .. eq5=N (the
                                 others keep their defaults: 63, 7, 0, 0, 12)

Exit status:
  0  run ended as planned
  1  scenario error
  2  bad arguments or unreadable files
  3  deadlock
)";
}

}  // namespace simcli
