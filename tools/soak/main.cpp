// shapeplay-soak: drives the simulated player for hours of virtual time with random touches,
// knob turns, keys, stick pulls and swaps, power cuts, power-key switch-offs and changes of the
// parents' settings, and reports what went wrong: halted threads, a deadlock, the heap's bytes
// in use over time (flat after the first hour of a long power-on, or a leak), and settings
// lost over a power cycle. The same seed gives the same run, byte for byte.
//
// The board runs in this program, as in shapeplay-sim (each power-on a child process), so that
// every write of the settings record is seen: after a power cut or switch-off, the next
// power-on must load exactly the record the chip's complete copies held at that instant,
// whatever changed it (a request, the parents' screen, the knob).
//
// Usage: shapeplay-soak --hours H --seed S --stick-a IMAGE --stick-b IMAGE --out DIR
// Writes DIR/soak.scn (the scenario), DIR/trace.jsonl, DIR/console.log and DIR/sram.bin, and
// prints the report; exit status 0 when nothing went wrong, 1 when something did, 2 on bad
// arguments.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "runner.h"
#include "scenario.h"
#include "simkernel.h"
#include "sram.h"
#include "sram/sram_data.h"

namespace {

constexpr uint64_t kMs = 1000000;
constexpr uint64_t kS = 1000 * kMs;
constexpr uint64_t kMinute = 60 * kS;

// The parents' settings a BTN_ParentSettingsChanged event carries.
struct Settings {
  int maxVolume = 63, spkBoost = 7, effect3d = 0;
  std::array<int, 5> eq = {12, 12, 12, 12, 12};
};

// What a power-on's start-up dump shows of the record it loaded ("Conf read" and the fields),
// or that it found none ("Conf default").
struct Dump {
  bool read = false;
  int root = -1, volume = -1, spkBoost = -1, maxVolume = -1, effect3d = -1;
  std::array<int, 5> eq = {-1, -1, -1, -1, -1};
  bool operator==(const Dump&) const = default;
  std::string text() const {
    if (!read) return "no record";
    std::string s = "root folder " + std::to_string(root) + ", volume " + std::to_string(volume) +
                    ", maxVolume " + std::to_string(maxVolume) + ", spkBoost " +
                    std::to_string(spkBoost) + ", effect3d " + std::to_string(effect3d) + ", eq";
    for (int v : eq) s += " " + std::to_string(v);
    return s;
  }
};

Dump dumpOf(const SramDataStruct* r) {
  Dump d;
  if (r == nullptr) return d;
  d.read = true;
  d.root = r->currentRootFolderNumber;
  d.volume = r->currentVolume;
  d.spkBoost = r->spkBoost;
  d.maxVolume = r->maxVolume;
  d.effect3d = r->effect3d;
  for (int b = 0; b < 5; ++b) d.eq[b] = r->equalizer[b];
  return d;
}

struct Args {
  double hours = 2;
  uint64_t seed = 1;
  std::string stickA, stickB, out;
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr,
               "shapeplay-soak: %s\nUsage: shapeplay-soak --hours H --seed S "
               "--stick-a IMAGE --stick-b IMAGE --out DIR\n",
               why.c_str());
  std::exit(2);
}

Args parseArgs(int argc, char** argv) {
  Args a;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string k = argv[i], v = argv[i + 1];
    char* end = nullptr;
    if (k == "--hours") {
      a.hours = std::strtod(v.c_str(), &end);
      if (*end != 0 || !(a.hours > 0) || a.hours > 1000) usage("--hours: 0 to 1000, not " + v);
    } else if (k == "--seed") {
      a.seed = std::strtoull(v.c_str(), &end, 10);
      if (*end != 0 || v.empty()) usage("--seed: a whole number, not " + v);
    } else if (k == "--stick-a") {
      a.stickA = v;
    } else if (k == "--stick-b") {
      a.stickB = v;
    } else if (k == "--out") {
      a.out = v;
    } else {
      usage("unknown option " + k);
    }
  }
  if ((argc - 1) % 2 != 0 || a.stickA.empty() || a.stickB.empty() || a.out.empty()) {
    usage("every option takes a value; --stick-a, --stick-b and --out are needed");
  }
  return a;
}

// ---- the scenario

// One command at a virtual time.
struct Step {
  uint64_t at;
  std::string command;
  uint64_t duration = 0;  // a drag takes its time
};

class Generator {
 public:
  Generator(uint64_t seed, uint64_t end) : rng_(seed), end_(end) {}

  void run() {
    uint64_t t = 0;
    add(t, "insert stick-a.img");
    stick_ = 'a';
    t = 3 * kS;
    while (t < end_) {
      // Each block of two hours: a long calm power-on (65 to 75 minutes, no cuts, no
      // switch-off), then power cuts and switch-offs every few minutes.
      const uint64_t block = t / (120 * kMinute);
      const uint64_t inBlock = t - block * 120 * kMinute;
      const bool calm = inBlock < 65 * kMinute + (block * 7 % 10) * kMinute;
      t = act(t, calm);
    }
  }

  const std::vector<Step>& steps() const { return steps_; }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  uint64_t ms(int lo, int hi) { return static_cast<uint64_t>(pick(lo, hi)) * kMs; }
  void add(uint64_t at, const std::string& command, uint64_t duration = 0) {
    steps_.push_back({at, command, duration});
  }

  // One action at `t` and the time of the next.
  uint64_t act(uint64_t t, bool calm) {
    // Something for the main loop at least every two minutes, so that the player never
    // switches itself off (that is the power key's and the cuts' business here).
    const bool mustRequest = t - lastRequest_ > 110 * kS;
    const int roll = mustRequest ? 0 : pick(0, 99);
    if (roll < 22) {
      request(t);
    } else if (roll < 42) {
      add(t, "touch " + std::to_string(pick(0, 271)) + " " + std::to_string(pick(0, 479)));
    } else if (roll < 50) {
      const int x = pick(0, 271), y = pick(0, 479), x2 = pick(0, 271), y2 = pick(0, 479);
      const int time = pick(100, 600);
      add(t,
          "drag " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x2) + " " +
              std::to_string(y2) + " " + std::to_string(time) + "ms",
          static_cast<uint64_t>(time) * kMs);
      return t + ms(700, 3000);
    } else if (roll < 62) {
      const int n = pick(1, 6);
      add(t, "turn " + std::to_string(pick(0, 1) == 0 ? n : -n));
    } else if (roll < 67 && t >= readyAt_) {
      settings(t);
    } else if (roll < 71) {
      add(t, "key parents tap");
    } else if (roll < 74) {
      add(t, std::string("mono ") + (pick(0, 1) == 0 ? "on" : "off"));
    } else if (roll < 77) {
      add(t, "light " + std::to_string(pick(0, 4095)));
    } else if (roll < 84) {
      // A stick pulled, then the same or the other one put in.
      add(t, "remove");
      t += ms(200, 4000);
      stick_ = pick(0, 2) == 0 ? (stick_ == 'a' ? 'b' : 'a') : stick_;
      add(t, std::string("insert stick-") + stick_ + ".img");
      readyAt_ = t + 6 * kS;
      return t + ms(1500, 4000);
    } else if (!calm && roll < 92) {
      // The supply cut at any instant, back a moment later.
      add(t, "power cut");
      return powerOn(t + ms(300, 5000));
    } else if (!calm && roll < 96) {
      add(t, "key power tap");
      return powerOn(t + ms(2000, 4000));
    } else {
      request(t);
    }
    return t + ms(300, 25000);
  }

  void request(uint64_t t) {
    lastRequest_ = t;
    const int root = pick(0, 3), playback = pick(0, 2);
    const int kind = pick(0, 99);
    const std::string main = " main=" + std::to_string(root);
    if (kind < 40) {
      add(t, "event BTN_PlaybackFolder" + main + " playback=" + std::to_string(playback));
    } else if (kind < 55) {
      add(t, "event BTN_Forward");
    } else if (kind < 65) {
      add(t, "event BTN_Rewind");
    } else if (kind < 75) {
      add(t, "event BTN_PlayPause");
    } else if (kind < 85) {
      add(t, std::string("event ") +
                 (pick(0, 1) == 0 ? "BTN_Folder_Forward" : "BTN_Folder_Rewind") + main);
    } else if (kind < 93) {
      add(t, "event BTN_Overview_Refresh param=" + std::to_string(pick(0, 1)));
    } else {
      add(t, "event BTN_Parent");
    }
  }

  void settings(uint64_t t) {
    lastRequest_ = t;
    Settings s;
    s.maxVolume = pick(10, 63);
    s.spkBoost = pick(0, 7);
    s.effect3d = pick(0, 31);
    for (int& v : s.eq) v = pick(0, 24);
    std::string line = "event BTN_ParentSettingsChanged maxvol=" + std::to_string(s.maxVolume) +
                       " boost=" + std::to_string(s.spkBoost) +
                       " effect3d=" + std::to_string(s.effect3d) +
                       " resume=" + std::to_string(pick(0, 1));
    for (int b = 0; b < 5; ++b)
      line += " eq" + std::to_string(b + 1) + "=" + std::to_string(s.eq[b]);
    add(t, line);
  }

  // Back on at `t`; the next action waits until the user interface runs.
  uint64_t powerOn(uint64_t t) {
    add(t, "power on");
    readyAt_ = t + 6 * kS;
    return t + ms(2500, 5000);
  }

  std::mt19937_64 rng_;
  uint64_t end_;
  std::vector<Step> steps_;
  uint64_t lastRequest_ = 0;
  // Settings are changed only once the stick is surely read (before, the request waits in
  // the main loop's queue of five, and a full queue would drop it).
  uint64_t readyAt_ = 6 * kS;
  char stick_ = 'a';
};

std::string scenario(const std::vector<Step>& steps, uint64_t end) {
  std::string s = "# shapeplay-soak: generated, do not edit\n";
  uint64_t now = 0;
  for (const Step& step : steps) {
    if (step.at >= end) break;
    if (step.at > now) s += "wait " + std::to_string(step.at - now) + "ns\n";
    now = std::max(now, step.at);
    s += step.command + "\n";
    now += step.duration;
  }
  if (end > now) s += "wait " + std::to_string(end - now) + "ns\n";
  return s;
}

// ---- the trace

uint64_t number(const std::string& line, const std::string& key) {
  const std::string k = "\"" + key + "\":";
  const size_t at = line.find(k);
  return at == std::string::npos ? 0 : std::strtoull(line.c_str() + at + k.size(), nullptr, 10);
}

std::string text(const std::string& line, const std::string& key) {
  const std::string k = "\"" + key + "\":\"";
  const size_t at = line.find(k);
  if (at == std::string::npos) return "";
  std::string out;
  for (size_t i = at + k.size(); i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    out += line[i];
  }
  return out;
}

struct HeapSample {
  uint64_t at;
  uint64_t kernel, runtime;
};

struct Life {
  uint64_t start = 0, end = 0;
  std::vector<HeapSample> heap;
  std::vector<std::string> console;  // the first lines of the power-on (the settings dump)
};

struct Findings {
  std::vector<std::string> halts;
  std::vector<Life> lives;
  size_t cuts = 0, switchOffs = 0;
};

Findings readTrace(const std::string& path) {
  Findings f;
  std::ifstream in(path);
  std::string line;
  f.lives.push_back({});
  while (std::getline(in, line)) {
    const uint64_t t = number(line, "t") * 1000;
    const std::string ev = text(line, "ev");
    if (ev == "power") {
      const std::string state = text(line, "state");
      if (state == "on") {
        f.lives.push_back({});
        f.lives.back().start = t;
      } else {
        f.lives.back().end = t;
        (state == "cut" ? f.cuts : f.switchOffs)++;
      }
    } else if (ev == "halt") {
      f.halts.push_back(std::to_string(t / kMs) + " ms: " + text(line, "thread") + ": " +
                        text(line, "reason"));
    } else if (ev == "heap" && line.find("kernel_in_use") != std::string::npos) {
      f.lives.back().heap.push_back(
          {t, number(line, "kernel_in_use"), number(line, "runtime_in_use")});
    } else if (ev == "console" && f.lives.back().console.size() < 40) {
      f.lives.back().console.push_back(text(line, "text"));
    }
  }
  return f;
}

// What a power-on's console says it loaded.
Dump dumped(const std::vector<std::string>& console) {
  Dump d;
  for (const std::string& line : console) {
    auto field = [&line](const std::string& key, int* out) {
      if (line.rfind(key, 0) == 0) *out = std::atoi(line.c_str() + key.size());
    };
    if (line == "Conf read") d.read = true;
    field("currentRootFolderNumber: ", &d.root);
    field("currentVolume:", &d.volume);
    field("spkBoost:", &d.spkBoost);
    field("maxVolume:", &d.maxVolume);
    field("effect3d:", &d.effect3d);
    for (int b = 0; b < 5; ++b) field("equalizer[" + std::to_string(b) + "]:", &d.eq[b]);
  }
  return d;
}

// The chip's two copies after a write ended.
struct Chip {
  uint64_t at = 0;
  StoredRecord a, b;
};

// The record a power-on takes from a chip (null: none).
const SramDataStruct* chosen(const Chip& chip) {
  switch (chooseCopy(describeCopy(chip.a.record, chip.a.check),
                     describeCopy(chip.b.record, chip.b.check))) {
    case RecordSource::None: return nullptr;
    case RecordSource::CopyB: return &chip.b.record;
    default: return &chip.a.record;
  }
}

std::string thousands(uint64_t v) {
  std::string s = std::to_string(v);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const Args args = parseArgs(argc, argv);
  const uint64_t end = static_cast<uint64_t>(args.hours * 3600) * kS;
  Generator gen(args.seed, end);
  gen.run();
  const std::string dir = args.out;
  const std::string text = scenario(gen.steps(), end);
  std::ofstream(dir + "/soak.scn") << text;
  // The sticks are named relative to the scenario.
  for (const auto& [name, path] :
       {std::pair{"stick-a.img", args.stickA}, {"stick-b.img", args.stickB}}) {
    const std::string link = dir + "/" + name;
    unlink(link.c_str());
    (void)!symlink(path.c_str(), link.c_str());
    unlink((link + ".usb").c_str());
  }
  unlink((dir + "/sram.bin").c_str());

  auto parsed = simscn::parseScript(text, dir + "/soak.scn", dir);
  if (auto* e = std::get_if<simscn::ParseError>(&parsed)) {
    std::fprintf(stderr, "shapeplay-soak: %s\n", e->text().c_str());
    return 2;
  }
  simrun::RunConfig config;
  config.options.headless = true;
  config.options.sram = dir + "/sram.bin";
  config.script = std::get<simscn::Script>(std::move(parsed));
  config.hasScript = true;
  config.consoleFd = -1;
  config.logFd = ::open((dir + "/console.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  config.traceFd = ::open((dir + "/trace.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int chips = ::open((dir + "/chips.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (config.logFd < 0 || config.traceFd < 0 || chips < 0) {
    std::fprintf(stderr, "shapeplay-soak: cannot write into %s\n", dir.c_str());
    return 2;
  }
  // Every power-on is a process of its own: each keeps the chip's copies after every write.
  simsram::onWriteEnd([chips](uint32_t, uint32_t) {
    Chip c;
    c.at = simk::now();
    simsram::read(SRAM_COPY_A, &c.a, sizeof c.a);
    simsram::read(SRAM_COPY_B, &c.b, sizeof c.b);
    (void)!write(chips, &c, sizeof c);
  });
  const int exitStatus = simrun::run(config);
  ::close(config.logFd);
  ::close(config.traceFd);
  std::vector<Chip> writes;
  ::lseek(chips, 0, SEEK_SET);
  for (Chip c; ::read(chips, &c, sizeof c) == static_cast<ssize_t>(sizeof c);) writes.push_back(c);
  ::close(chips);
  unlink((dir + "/chips.bin").c_str());

  const Findings f = readTrace(dir + "/trace.jsonl");
  std::vector<std::string> problems;
  if (exitStatus == 3) {
    problems.push_back("deadlock (the simulator's exit status 3)");
  } else if (exitStatus != 0) {
    problems.push_back("the simulator ended with status " + std::to_string(exitStatus));
  }
  for (const std::string& h : f.halts) problems.push_back("halt at " + h);

  // Settings over every power cycle: the record the chip's complete copies held when the
  // supply went is the one the next power-on loads.
  size_t checked = 0;
  for (size_t i = 1; i < f.lives.size(); ++i) {
    const uint64_t off = f.lives[i - 1].end;
    const Chip* last = nullptr;
    for (const Chip& c : writes) {
      if (c.at <= off) last = &c;
    }
    const Dump expected = last != nullptr ? dumpOf(chosen(*last)) : Dump{};
    const Dump found = dumped(f.lives[i].console);
    ++checked;
    if (!(found == expected)) {
      problems.push_back("settings lost at the power-on at " +
                         std::to_string(f.lives[i].start / kMs) + " ms: it loaded " + found.text() +
                         "; the chip held " + expected.text());
    }
  }

  // The heap: after the first hour of a power-on, never more in use than during that hour.
  std::printf(
      "shapeplay-soak: %.1f virtual hours, seed %llu: %zu power-ons, %zu cuts, %zu "
      "switch-offs, %zu record writes\n",
      args.hours, static_cast<unsigned long long>(args.seed), f.lives.size(), f.cuts, f.switchOffs,
      writes.size() / 2);
  std::printf("heap in use (bytes), every 10 virtual minutes:\n  %8s %12s %12s\n", "minute",
              "kernel", "runtime");
  for (const Life& life : f.lives) {
    uint64_t firstHourKernel = 0, firstHourRuntime = 0;
    for (const HeapSample& s : life.heap) {
      const uint64_t minute = s.at / kMinute;
      if (minute % 10 == 0) {
        std::printf("  %8llu %12s %12s\n", static_cast<unsigned long long>(minute),
                    thousands(s.kernel).c_str(), thousands(s.runtime).c_str());
      }
      if (s.at - life.start <= 60 * kMinute) {
        firstHourKernel = std::max(firstHourKernel, s.kernel);
        firstHourRuntime = std::max(firstHourRuntime, s.runtime);
      } else if (s.kernel > firstHourKernel || s.runtime > firstHourRuntime) {
        problems.push_back("heap grows after the first hour of the power-on at " +
                           std::to_string(life.start / kMs) + " ms: at minute " +
                           std::to_string(s.at / kMinute) + " kernel " + thousands(s.kernel) +
                           " (first hour at most " + thousands(firstHourKernel) + "), runtime " +
                           thousands(s.runtime) + " (at most " + thousands(firstHourRuntime) + ")");
        break;
      }
    }
  }
  const size_t longLives =
      static_cast<size_t>(std::count_if(f.lives.begin(), f.lives.end(), [](const Life& l) {
        return !l.heap.empty() && l.heap.back().at - l.start > 60 * kMinute;
      }));
  std::printf(
      "the record over %zu power cycles: each power-on loaded what the chip held; %zu "
      "power-on%s longer than an hour for the heap\n",
      checked, longLives, longLives == 1 ? "" : "s");
  if (problems.empty()) {
    std::printf("shapeplay-soak: no halt, no deadlock, heap flat, no settings lost\n");
    return 0;
  }
  for (const std::string& p : problems) std::printf("PROBLEM: %s\n", p.c_str());
  return 1;
}
