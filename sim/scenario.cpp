#include "scenario.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "timefmt.h"

namespace simscn {
namespace {

constexpr const char* kButtonNames[] = {
    "BTN_Other",
    "BTN_PlayPause",
    "BTN_Forward",
    "BTN_Rewind",
    "BTN_Parent",
    "BTN_Folder_Forward",
    "BTN_Folder_Rewind",
    "BTN_Folder_Refresh",
    "BTN_PlaybackFolder",
    "BTN_Overview_Refresh",
    "BTN_Overview_Back",
    "BTN_Overview_Forward",
    "BTN_ParentSettingsChanged",
};
constexpr size_t kButtonCount = sizeof kButtonNames / sizeof kButtonNames[0];

struct Syntax {
  std::string_view name;
  Op op;
  size_t minArgs;
  size_t maxArgs;
  std::string_view usage;  // arguments as shown in messages
};

constexpr Syntax kSyntax[] = {
    {"wait", Op::Wait, 1, 1, "TIME"},
    {"insert", Op::Insert, 1, 1, "IMAGE"},
    {"remove", Op::Remove, 0, 0, ""},
    {"touch", Op::Touch, 2, 2, "X Y"},
    {"press", Op::Press, 2, 2, "X Y"},
    {"release", Op::Release, 0, 0, ""},
    {"drag", Op::Drag, 5, 5, "X1 Y1 X2 Y2 TIME"},
    {"turn", Op::Turn, 1, 1, "N"},
    {"key", Op::Key, 2, 2, "parents|power down|up|tap"},
    {"mono", Op::Mono, 1, 1, "on|off"},
    {"light", Op::Light, 1, 1, "VALUE"},
    {"screenshot", Op::Screenshot, 1, 1, "FILE"},
    {"power", Op::PowerOn, 1, 1, "on|cut"},
    {"keycode", Op::Keycode, 1, 1, "N"},
    {"stick", Op::StickFault, 2, 3,
     "fault SECTOR [COUNT] | fault stall [COUNT] | fault slow FACTOR | fault clear"},
    {"event", Op::Event, 1, 13,
     "BUTTON [main=N] [playback=N] [param=N] [maxvol=N boost=N effect3d=N resume=0|1 eq1..eq5=N]"},
};

// A token as shown in a message: quoted, control characters replaced, long ones shortened so
// that a message stays one readable line whatever the script contains.
std::string quoted(std::string_view s) {
  constexpr size_t kLimit = 40;
  std::string out = "'";
  for (size_t i = 0; i < s.size() && i < kLimit; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
  }
  if (s.size() > kLimit) out += "...";
  out += "'";
  return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Decimal integer with an optional sign; nullopt for anything else or on overflow.
std::optional<int64_t> parseInt(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (value > (static_cast<uint64_t>(INT64_MAX) - d) / 10) return std::nullopt;
    value = value * 10 + d;
  }
  const int64_t v = static_cast<int64_t>(value);
  return negative ? -v : v;
}

// Path from a script, relative to the script's folder unless absolute.
std::string resolvePath(const std::string& baseDir, std::string_view path) {
  if (baseDir.empty() || path.front() == '/') return std::string(path);
  std::string out = baseDir;
  if (out.back() != '/') out += '/';
  out += path;
  return out;
}

class LineParser {
 public:
  LineParser(const std::vector<std::string_view>& tokens, Command& command)
      : tokens_(tokens), cmd_(command) {}

  // Fills in the command; returns an error message or an empty string.
  std::string parse(const Syntax& syntax, const std::string& baseDir) {
    name_ = syntax.name;
    const size_t args = tokens_.size() - 1;
    if (args < syntax.minArgs || args > syntax.maxArgs) {
      std::string m = "'" + std::string(syntax.name) + "' takes ";
      if (syntax.maxArgs == 0) {
        m += "no arguments";
      } else if (syntax.minArgs == syntax.maxArgs) {
        m += std::to_string(syntax.minArgs) + (syntax.minArgs == 1 ? " argument" : " arguments");
        m += " (" + std::string(syntax.usage) + ")";
      } else {
        m += std::to_string(syntax.minArgs) + " to " + std::to_string(syntax.maxArgs) +
             " arguments (" + std::string(syntax.usage) + ")";
      }
      return m + ", got " + std::to_string(args);
    }

    switch (syntax.op) {
      case Op::Wait: return time(1, cmd_.durationNs);
      case Op::Insert:
      case Op::Screenshot: cmd_.path = resolvePath(baseDir, tokens_[1]); return {};
      case Op::Remove:
      case Op::Release: return {};
      case Op::Touch:
      case Op::Press: return point(1, "X", "Y", cmd_.x, cmd_.y);
      case Op::Drag: {
        std::string e = point(1, "X1", "Y1", cmd_.x, cmd_.y);
        if (e.empty()) e = point(3, "X2", "Y2", cmd_.x2, cmd_.y2);
        if (e.empty()) e = time(5, cmd_.durationNs);
        return e;
      }
      case Op::Turn: {
        const std::optional<int64_t> v = parseInt(tokens_[1]);
        if (!v || *v == 0 || *v < -kMaxTurn || *v > kMaxTurn) {
          return "turn: N must be a non-zero integer from -" + std::to_string(kMaxTurn) + " to " +
                 std::to_string(kMaxTurn) + ", got " + quoted(tokens_[1]);
        }
        cmd_.n = *v;
        return {};
      }
      case Op::Key:
        if (tokens_[1] != "parents" && tokens_[1] != "power") {
          return "key: expected parents or power, got " + quoted(tokens_[1]);
        }
        if (tokens_[2] != "down" && tokens_[2] != "up" && tokens_[2] != "tap") {
          return "key: expected down, up or tap, got " + quoted(tokens_[2]);
        }
        cmd_.key = std::string(tokens_[1]);
        cmd_.action = std::string(tokens_[2]);
        return {};
      case Op::Mono:
        if (tokens_[1] != "on" && tokens_[1] != "off") {
          return "mono: expected on or off, got " + quoted(tokens_[1]);
        }
        cmd_.n = tokens_[1] == "on" ? 1 : 0;
        return {};
      case Op::Light: return integer(1, "VALUE", 0, kMaxLight, cmd_.n);
      case Op::Keycode: return integer(1, "N", 0, 255, cmd_.n);
      case Op::PowerOn:
        if (tokens_[1] == "cut") {
          cmd_.op = Op::PowerCut;
          return {};
        }
        if (tokens_[1] != "on") return "power: expected on or cut, got " + quoted(tokens_[1]);
        return {};
      case Op::Event: return event();
      case Op::StickFault: return stickFault();
      case Op::PowerCut: break;
    }
    return "internal error: command without a parser";
  }

 private:
  std::string integer(size_t i, const char* what, int64_t lo, int64_t hi, int64_t& out) const {
    const std::optional<int64_t> v = parseInt(tokens_[i]);
    if (!v || *v < lo || *v > hi) {
      return std::string(name_) + ": " + what + " must be an integer from " + std::to_string(lo) +
             " to " + std::to_string(hi) + ", got " + quoted(tokens_[i]);
    }
    out = *v;
    return {};
  }

  std::string stickFault() {
    if (tokens_[1] != "fault") return "stick: expected 'fault', got " + quoted(tokens_[1]);
    const std::string_view what = tokens_[2];
    const bool counted = tokens_.size() > 3;
    int64_t v = 0;
    if (what == "clear") {
      if (counted) return "stick fault clear: takes nothing more, got " + quoted(tokens_[3]);
      cmd_.key = "clear";
      return {};
    }
    if (what == "slow") {
      if (!counted) return "stick fault slow: FACTOR missing (1 to 1000 times as long)";
      cmd_.key = "slow";
      std::string e = integer(3, "FACTOR", 1, 1000, v);
      cmd_.count = static_cast<uint64_t>(v);
      return e;
    }
    if (what == "stall") {
      cmd_.key = "stall";
      cmd_.count = 1;
      if (!counted) return {};
      std::string e = integer(3, "COUNT", 1, 1000000, v);
      cmd_.count = static_cast<uint64_t>(v);
      return e;
    }
    cmd_.key = "sector";
    const std::optional<int64_t> sector = parseInt(what);
    if (!sector || *sector < 0 || *sector > UINT32_MAX || what[0] == '+') {
      return "stick fault: expected a sector number (0 to " + std::to_string(UINT32_MAX) +
             "), stall, slow or clear, got " + quoted(what);
    }
    cmd_.n = *sector;
    cmd_.count = 1;
    if (!counted) return {};
    std::string e = integer(3, "COUNT", 1, UINT32_MAX, v);
    cmd_.count = static_cast<uint64_t>(v);
    return e;
  }

  std::string point(size_t i, const char* xName, const char* yName, int& x, int& y) const {
    int64_t vx = 0, vy = 0;
    std::string e = integer(i, xName, 0, kScreenWidth - 1, vx);
    if (e.empty()) e = integer(i + 1, yName, 0, kScreenHeight - 1, vy);
    x = static_cast<int>(vx);
    y = static_cast<int>(vy);
    return e;
  }

  std::string time(size_t i, uint64_t& out) const {
    const std::optional<uint64_t> ns = simcli::parseTimeNs(tokens_[i]);
    if (!ns) {
      return std::string(name_) + ": bad time " + quoted(tokens_[i]) +
             " (a number with a unit: ns, us, ms, s or m, e.g. 250ms)";
    }
    out = *ns;
    return {};
  }

  std::string event() {
    const std::string_view b = tokens_[1];
    if (const std::optional<uint8_t> named = buttonFromName(b)) {
      cmd_.button = *named;
    } else {
      const std::optional<int64_t> v = parseInt(b);
      if (!v || *v < 0 || *v > 255) {
        return "event: unknown button " + quoted(b) + " (a BTN_ name or a number 0..255)";
      }
      cmd_.button = static_cast<uint8_t>(*v);
    }

    bool seenMain = false, seenPlayback = false, seenParam = false;
    bool seenSetting[9] = {};
    static const char* const kSettingKeys[9] = {"maxvol", "boost", "effect3d", "resume", "eq1",
                                                "eq2",    "eq3",   "eq4",      "eq5"};
    static const int64_t kSettingMax[9] = {63, 7, 31, 1, 24, 24, 24, 24, 24};
    for (size_t i = 2; i < tokens_.size(); ++i) {
      const std::string_view t = tokens_[i];
      const size_t eq = t.find('=');
      const std::string_view key = t.substr(0, eq);
      bool* seen = nullptr;
      int64_t max = 0;
      int setting = -1;
      for (int k = 0; k < 9 && eq != std::string_view::npos; ++k) {
        if (key == kSettingKeys[k]) {
          setting = k;
          seen = &seenSetting[k];
          max = kSettingMax[k];
        }
      }
      if (setting < 0 && eq != std::string_view::npos) {
        if (key == "main") {
          seen = &seenMain;
          max = UINT32_MAX;
        } else if (key == "playback") {
          seen = &seenPlayback;
          max = UINT8_MAX;
        } else if (key == "param") {
          seen = &seenParam;
          max = UINT32_MAX;
        }
      }
      if (seen == nullptr) {
        return "event: bad argument " + quoted(t) +
               " (expected main=N, playback=N, param=N or a parents' setting)";
      }
      if (*seen) return "event: " + std::string(key) + "= given more than once";
      *seen = true;
      const std::string_view value = t.substr(eq + 1);
      const std::optional<int64_t> v = parseInt(value);
      if (!v || *v < 0 || *v > max || value[0] == '+' || value[0] == '-') {
        return "event: " + std::string(key) + " must be an integer from 0 to " +
               std::to_string(max) + ", got " + quoted(value);
      }
      if (setting >= 0) {
        cmd_.hasSettings = true;
        const auto value32 = static_cast<int32_t>(*v);
        switch (setting) {
          case 0: cmd_.maxVolume = value32; break;
          case 1: cmd_.spkBoost = value32; break;
          case 2: cmd_.effect3d = value32; break;
          case 3: cmd_.positionResume = value32 != 0; break;
          default: cmd_.equalizer[setting - 4] = value32; break;
        }
      } else if (key == "main") {
        cmd_.mainFolder = static_cast<uint32_t>(*v);
      } else if (key == "playback") {
        cmd_.playback = static_cast<uint8_t>(*v);
      } else {
        cmd_.param = static_cast<uint32_t>(*v);
      }
    }
    return {};
  }

  const std::vector<std::string_view>& tokens_;
  Command& cmd_;
  std::string_view name_;
};

}  // namespace

std::string ParseError::text() const {
  if (line <= 0) return file + ": " + message;
  return file + ":" + std::to_string(line) + ": " + message;
}

const char* buttonName(uint8_t button) {
  return button < kButtonCount ? kButtonNames[button] : nullptr;
}

std::optional<uint8_t> buttonFromName(std::string_view name) {
  for (size_t i = 0; i < kButtonCount; ++i) {
    if (name == kButtonNames[i]) return static_cast<uint8_t>(i);
  }
  return std::nullopt;
}

std::variant<Script, ParseError> parseScript(std::string_view text, const std::string& fileName,
                                             const std::string& baseDir) {
  Script script;
  script.file = fileName;
  uint64_t clock = 0;
  int lineNo = 0;
  std::vector<std::string_view> tokens;

  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (lineNo == INT_MAX) return ParseError{fileName, lineNo, "too many lines"};
    ++lineNo;

    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);

    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && isBlank(line[i])) ++i;
      const size_t start = i;
      while (i < line.size() && !isBlank(line[i])) ++i;
      if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    if (tokens.empty()) continue;

    const Syntax* syntax = nullptr;
    for (const Syntax& s : kSyntax) {
      if (s.name == tokens[0]) syntax = &s;
    }
    if (syntax == nullptr) {
      return ParseError{fileName, lineNo, "unknown command " + quoted(tokens[0])};
    }

    Command cmd;
    cmd.op = syntax->op;
    cmd.line = lineNo;
    cmd.timeNs = clock;
    std::string error = LineParser(tokens, cmd).parse(*syntax, baseDir);
    if (!error.empty()) return ParseError{fileName, lineNo, std::move(error)};

    if (cmd.durationNs > UINT64_MAX - clock) {
      return ParseError{fileName, lineNo, "script runs past the largest virtual time"};
    }
    clock += cmd.durationNs;
    script.commands.push_back(std::move(cmd));
  }

  script.endNs = clock;
  return script;
}

std::variant<Script, ParseError> loadScript(const std::string& path) {
  const bool fromStdin = path == "-";
  const std::string name = fromStdin ? "<stdin>" : path;
  int fd = 0;
  if (!fromStdin) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ParseError{name, 0, std::string("cannot read: ") + std::strerror(errno)};
  }

  std::string text;
  char buf[65536];
  int readErrno = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      readErrno = errno;
      break;
    }
  }
  if (!fromStdin) ::close(fd);
  if (readErrno != 0) {
    return ParseError{name, 0, std::string("cannot read: ") + std::strerror(readErrno)};
  }

  const std::string baseDir =
      fromStdin ? std::string() : std::filesystem::path(path).parent_path().string();
  return parseScript(text, name, baseDir);
}

std::string describe(const Command& c) {
  const auto num = [](int64_t v) { return std::to_string(v); };
  switch (c.op) {
    case Op::Wait: return "wait " + simcli::formatDuration(c.durationNs);
    case Op::Insert: return "insert " + c.path;
    case Op::Remove: return "remove";
    case Op::Touch: return "touch " + num(c.x) + " " + num(c.y);
    case Op::Press: return "press " + num(c.x) + " " + num(c.y);
    case Op::Release: return "release";
    case Op::Drag:
      return "drag " + num(c.x) + " " + num(c.y) + " " + num(c.x2) + " " + num(c.y2) + " " +
             simcli::formatDuration(c.durationNs);
    case Op::Turn: return "turn " + num(c.n);
    case Op::Key: return "key " + c.key + " " + c.action;
    case Op::Mono: return c.n ? "mono on" : "mono off";
    case Op::Light: return "light " + num(c.n);
    case Op::Keycode: return "keycode " + num(c.n);
    case Op::Screenshot: return "screenshot " + c.path;
    case Op::PowerOn: return "power on";
    case Op::PowerCut: return "power cut";
    case Op::StickFault:
      if (c.key == "clear") return "stick fault clear";
      if (c.key == "slow") return "stick fault slow " + num(static_cast<int64_t>(c.count));
      if (c.key == "stall") return "stick fault stall " + num(static_cast<int64_t>(c.count));
      return "stick fault " + num(c.n) + " " + num(static_cast<int64_t>(c.count));
    case Op::Event: {
      const char* name = buttonName(c.button);
      std::string s = "event " + (name ? std::string(name) : num(c.button));
      if (c.mainFolder) s += " main=" + num(c.mainFolder);
      if (c.playback) s += " playback=" + num(c.playback);
      if (c.param) s += " param=" + num(c.param);
      if (c.hasSettings) {
        s += " maxvol=" + num(c.maxVolume) + " boost=" + num(c.spkBoost) +
             " effect3d=" + num(c.effect3d) + " resume=" + num(c.positionResume ? 1 : 0);
        for (int k = 0; k < 5; ++k) s += " eq" + num(k + 1) + "=" + num(c.equalizer[k]);
      }
      return s;
    }
  }
  return "?";
}

}  // namespace simscn
