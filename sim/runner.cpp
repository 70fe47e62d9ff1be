#include "runner.h"

#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <variant>

#include "FreeRTOS.h"
#include "audio_sinks.h"
#include "console.h"
#include "device_link.h"
#include "gui/User/modelUserData.h"
#include "inputs.h"
#include "panel.h"
#include "png_file.h"
#include "power.h"
#include "runtime_heap.h"
#include "sim_stdio.h"
#include "simgfx.h"
#include "simhal.h"
#include "simkernel.h"
#include "sram_file.h"
#include "stick.h"
#include "timefmt.h"
#include "touch_panel.h"
#include "trace.h"
#include "window.h"
#include "wiring.h"

int firmware_main(void);

namespace simrun {
namespace {

// What a life reports to the parent when it ends.
struct LifeResult {
  int status = 0;
  std::uint64_t endNs = 0;
  std::uint64_t executed = 0;  // scenario commands carried out in this life
  std::uint64_t frames = 0;    // the panel's pictures so far (they are numbered across lives)
};

// What survives a power cycle on the outside of the board: the stick in its slot, the keys
// held down, the mono switch and the room's light.
struct Physical {
  std::string stick;
  simusb::Faults stickFaults;  // the stick's own faults; a stall ends with the stick's power
  bool parentsKey = false;
  bool powerKey = false;
  bool mono = false;
  int light = -1;  // -1: the board's default
};

// How long `key ... tap` holds the key down.
constexpr simk::Time kTapHold = 100 * simk::kMs;

// One power-on of the board: the commands [first, stop) belong to it; it starts at `start`.
struct Life {
  simk::Time start = 0;
  std::size_t first = 0;
  std::size_t stop = 0;
  bool afterPowerOff = false;
  std::uint64_t framesBefore = 0;
  Physical physical;
};

std::uint64_t executed = 0;

// Writes all of `bytes`; gives up on an error (a reader that went away, a full disk).
void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

[[noreturn]] void scenarioError(const RunConfig& config, const simscn::Command& cmd,
                                const std::string& what) {
  simk::endRun(1, config.script.file + ":" + std::to_string(cmd.line) + ": " + what);
}

// The panel as the child sees it, to a PNG file; a file that cannot be written ends the run.
void writeScreenshot(const std::string& path, const std::string& where) {
  simruntime::HostScope host;
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  const std::string error = simpng::writeRgb(path, simdisplay::kWidth, simdisplay::kHeight, rgb);
  if (!error.empty()) simk::endRun(2, where + "cannot write screenshot " + path + ": " + error);
}

// --screenshots DIR: DIR/NNNN-<screen>-<t_ms>.png for every new picture of the panel, NNNN
// being its frame number.
void screenshotEveryPicture(const std::string& dir) {
  simdisplay::onNewPicture([dir] {
    simruntime::HostScope host;
    const char* screen = simgfx::screenName();
    char name[128];
    std::snprintf(name, sizeof name, "%04llu-%s-%llu.png",
                  static_cast<unsigned long long>(simdisplay::frameNumber()),
                  screen[0] != '\0' ? screen : "none",
                  static_cast<unsigned long long>(simk::now() / simk::kMs));
    writeScreenshot(dir + "/" + name, "--screenshots: ");
  });
}

void carryOut(const RunConfig& config, const simscn::Command& cmd);

// A `stick fault` command on the faults of a stick.
void applyFault(simusb::Faults& f, const simscn::Command& cmd) {
  if (cmd.key == "clear") {
    f = simusb::Faults{};
  } else if (cmd.key == "slow") {
    f.slowFactor = static_cast<std::uint32_t>(cmd.count);
  } else if (cmd.key == "stall") {
    f.stalls += static_cast<std::uint32_t>(cmd.count);
  } else {
    f.unreadable.push_back({static_cast<std::uint64_t>(cmd.n), cmd.count});
  }
}

void execute(const RunConfig& config, const simscn::Command& cmd) {
  ++executed;
  if (cmd.op == simscn::Op::Wait) return;
  simtrace::Event("scenario").num("line", cmd.line).str("cmd", simscn::describe(cmd));
  carryOut(config, cmd);
  if (config.window != nullptr) simlink::noteCommand(config.window->link, cmd);
}

// What a command does to the board (the scenario's, or the window's).
void carryOut(const RunConfig& config, const simscn::Command& cmd) {
  switch (cmd.op) {
    case simscn::Op::Insert: simusb::insert(cmd.path); return;
    case simscn::Op::Remove: simusb::remove(); return;
    case simscn::Op::Turn: simboard::turn(static_cast<int>(cmd.n)); return;
    case simscn::Op::Key: {
      const auto key = cmd.key == "parents" ? simboard::Key::Parents : simboard::Key::Power;
      if (cmd.action == "tap") {
        simboard::setKey(key, true);
        simk::schedule(simk::now() + kTapHold, simk::kOrderBoard,
                       [key] { simboard::setKey(key, false); });
      } else {
        simboard::setKey(key, cmd.action == "down");
      }
      return;
    }
    case simscn::Op::Mono: simboard::setMono(cmd.n != 0); return;
    case simscn::Op::Light: simboard::setLight(static_cast<int>(cmd.n)); return;
    case simscn::Op::Touch: simtouch::tap(cmd.x, cmd.y); return;
    case simscn::Op::Press: simtouch::press(cmd.x, cmd.y); return;
    case simscn::Op::Release: simtouch::release(); return;
    case simscn::Op::Drag: simtouch::drag(cmd.x, cmd.y, cmd.x2, cmd.y2, cmd.durationNs); return;
    case simscn::Op::Keycode:
      // Like a keyboard's buffer: a code that finds it full is lost.
      (void)simgfx::sendKey(static_cast<std::uint8_t>(cmd.n));
      return;
    case simscn::Op::Screenshot:
      writeScreenshot(cmd.path, config.script.file + ":" + std::to_string(cmd.line) + ": ");
      return;
    case simscn::Op::PowerOn:
      // With a window the person may have switched the board on before the script does.
      if (config.window != nullptr) return;
      scenarioError(config, cmd, "'power on' while the board is on");
    case simscn::Op::PowerCut: simpower::cut();
    case simscn::Op::StickFault: {
      simusb::Faults f = simusb::faults();
      applyFault(f, cmd);
      simusb::setFaults(f);
      return;
    }
    case simscn::Op::Event: {
      if (guiQueueModelUserEvent == nullptr) {
        scenarioError(config, cmd, "event before the user interface has started");
      }
      ModelUserEvent event;
      event.button = static_cast<ButtonEventEnum>(cmd.button);
      event.selectedMainFolder = cmd.mainFolder;
      event.selectedPlaybackFolder = cmd.playback;
      event.parameter = cmd.param;
      if (cmd.hasSettings) {
        ModelParentsSettings& p = event.parentSettings;
        p.maxVolume = cmd.maxVolume;
        p.spkBoost = cmd.spkBoost;
        p.effect3d = cmd.effect3d;
        p.positionResume = cmd.positionResume;
        for (int k = 0; k < 5; ++k) p.equalizer[k] = cmd.equalizer[k];
        p.changed = true;
      }
      BaseType_t woken = pdFALSE;
      // As the screens send: without waiting; a full queue loses the request.
      (void)guiQueueModelUserEvent->EnqueueFromISR(&event, &woken);
      portYIELD_FROM_ISR(woken);
      return;
    }
    default:
      scenarioError(config, cmd, "'" + simscn::describe(cmd) + "' is not supported by this board");
  }
}

// The physical state a command leaves behind (for commands carried out while the board is
// off, or in a life that has ended).
void fold(Physical& p, const simscn::Command& cmd) {
  switch (cmd.op) {
    case simscn::Op::Insert:
      p.stick = cmd.path;
      p.stickFaults = simusb::Faults{};
      break;
    case simscn::Op::Remove:
      p.stick.clear();
      p.stickFaults = simusb::Faults{};
      break;
    case simscn::Op::StickFault:
      if (!p.stick.empty()) applyFault(p.stickFaults, cmd);
      break;
    case simscn::Op::Key:
      // A tap has let the key go again.
      (cmd.key == "parents" ? p.parentsKey : p.powerKey) = cmd.action == "down";
      break;
    case simscn::Op::Mono: p.mono = cmd.n != 0; break;
    case simscn::Op::Light: p.light = static_cast<int>(cmd.n); break;
    default: break;
  }
}

// The window's inputs, as scenario command lines from the board's inbox: `insert` takes the
// rest of the line as the image's path; the rest are parsed as a script's lines are. Each is
// traced as a `window` event and carried out as the scenario's commands are.
const RunConfig* windowConfig = nullptr;

// A click is a tap as a finger makes it: a touch the window lifts again at once (a touchpad's
// tap, a test's click) stays down this long, so that the frame loop's next looks at the touch
// panel see it.
constexpr simk::Time kShortestTouch = 50 * simk::kMs;
bool windowTouching = false;
simk::Time windowTouchedAt = 0;

void applyWindowCommand(const simscn::Command& cmd, const std::string& line) {
  if (cmd.op == simscn::Op::Press && !windowTouching) {
    windowTouching = true;
    windowTouchedAt = simk::now();
  }
  if (cmd.op == simscn::Op::Release) {
    if (simk::now() < windowTouchedAt + kShortestTouch) {
      simk::schedule(windowTouchedAt + kShortestTouch, simk::kOrderBoard,
                     [cmd, line] { applyWindowCommand(cmd, line); });
      windowTouchedAt = 0;
      return;
    }
    windowTouching = false;
  }
  simtrace::Event("window").str("input", line);
  carryOut(*windowConfig, cmd);
  simlink::noteCommand(windowConfig->window->link, cmd);
}

void applyWindowInput(const std::string& line) {
  simscn::Command cmd;
  if (line.rfind("insert ", 0) == 0) {
    cmd.op = simscn::Op::Insert;
    cmd.path = line.substr(7);
    std::string why;
    if (!simusb::checkImage(cmd.path, &why)) {
      std::fprintf(stderr, "shapeplay-sim: window: cannot read stick image %s: %s\n",
                   cmd.path.c_str(), why.c_str());
      return;
    }
  } else {
    auto parsed = simscn::parseScript(line, "window", "");
    const auto* script = std::get_if<simscn::Script>(&parsed);
    if (script == nullptr || script->commands.size() != 1) return;
    cmd = script->commands.front();
  }
  switch (cmd.op) {
    case simscn::Op::Insert:
    case simscn::Op::Remove:
    case simscn::Op::Turn:
    case simscn::Op::Key:
    case simscn::Op::Mono:
    case simscn::Op::Light:
    case simscn::Op::Press:
    case simscn::Op::Release:
    case simscn::Op::Keycode:
    case simscn::Op::PowerCut: break;
    default: return;  // nothing else comes from a window
  }
  applyWindowCommand(cmd, line);
}

// Only one host thread of the board runs at a time: keeping them all on one processor makes
// every hand-over of the CPU a local wake-up, several times faster than one across processors.
void keepToOneProcessor() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  (void)sched_setaffinity(0, sizeof set, &set);
}

// With --realtime the board never runs ahead of the wall clock: every 5 ms of virtual time
// the simulator sleeps until as much wall time has passed. Nothing else changes.
void paceToWallClock() {
  static const auto start = std::chrono::steady_clock::now();
  static const simk::Time virtualStart = simk::now();
  static simk::Periodic pace;
  pace.start(simk::now(), 5 * simk::kMs, simk::kOrderEnd - 1, false, [] {
    const auto due = start + std::chrono::nanoseconds(simk::now() - virtualStart);
    std::this_thread::sleep_until(due);
  });
}

// The `heap` event at every whole virtual minute: the bytes the firmware holds on both heaps,
// so that a long run shows a leak without a debugger.
void reportHeapEveryMinute() {
  static simk::Periodic minutes;
  constexpr simk::Time kMinute = 60 * simk::kS;
  const simk::Time first = (simk::now() / kMinute + 1) * kMinute;
  minutes.start(first, kMinute, simk::kOrderEnd - 2, false, [] {
    simtrace::Event("heap")
        .unum("kernel_in_use", simk::kernelHeapInUse())
        .unum("runtime_in_use", simruntime::runtimeHeapInUse());
  });
}

[[noreturn]] void runLife(const RunConfig& config, const Life& life, int resultFd) {
  keepToOneProcessor();
  // A reader that goes away (`shapeplay-sim | head`) only ends the console's copy on stdout.
  signal(SIGPIPE, SIG_IGN);
  simk::resetClock(life.start);
  simtrace::open(config.traceFd);
  simtrace::setClock(&simk::now);
  simconsole::setOutput([out = config.consoleFd, logFd = config.logFd](std::string_view bytes) {
    if (out >= 0) writeAll(out, bytes);
    if (logFd >= 0) writeAll(logFd, bytes);
  });
  simboard::wire();
  simboard::wirePowerLatch();
  simdisplay::continueNumbering(life.framesBefore);
  simdisplay::setPresent(config.display);
  simgfx::setDrawing(config.drawing);
  if (!config.options.screenshots.empty()) screenshotEveryPicture(config.options.screenshots);
  simruntime::routeStdoutToFirmware();
  simhal::installFaultHandlers();
  simlink::Link* link = config.window != nullptr ? config.window->link : nullptr;
  if (link != nullptr) {
    windowConfig = &config;
    simlink::connectBoard(link, &applyWindowInput);
  }
  simaudio::attachSinks(config.wavFd, config.saiCaptureFd, simlink::soundTap(link));
  if (life.afterPowerOff) simtrace::Event("power").str("state", "on");

  simk::addEndHook([resultFd](int status) {
    simconsole::flush(true);
    simtrace::Event("heap")
        .unum("kernel_peak", simk::kernelHeapPeak())
        .unum("runtime_peak", simruntime::runtimeHeapPeak());
    simtrace::flush();
    LifeResult r{status, simk::now(), executed, simdisplay::frameNumber()};
    (void)!::write(resultFd, &r, sizeof r);
  });
  // The serial SRAM keeps its content in its file: loaded at power-on, written back at the end.
  if (!config.options.sram.empty()) {
    std::string error;
    if (!loadSramFile(config.options.sram, error)) simk::endRun(2, error);
    simk::addEndHook([path = config.options.sram](int) {
      std::string saveError;
      if (!saveSramFile(path, saveError)) {
        std::fprintf(stderr, "shapeplay-sim: %s\n", saveError.c_str());
      }
    });
  }

  // With a window the board keeps to the wall clock already (connectBoard).
  if (config.options.realtime && link == nullptr) paceToWallClock();
  reportHeapEveryMinute();
  const auto& commands = config.script.commands;
  for (std::size_t i = life.first; i < life.stop; ++i) {
    const simscn::Command* c = &commands[i];
    simk::schedule(c->timeNs, simk::kOrderBoard, [&config, c] { execute(config, *c); });
  }
  // A 'power on' while this life lasts is a scenario error.
  if (life.stop < commands.size()) {
    const simscn::Command* c = &commands[life.stop];
    simk::schedule(c->timeNs, simk::kOrderBoard, [&config, c] { execute(config, *c); });
  }
  const auto& duration = config.options.durationNs;
  if (duration.has_value()) {
    simk::schedule(
        *duration, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
  } else if (config.hasScript && life.stop == commands.size() && link == nullptr) {
    simk::schedule(
        config.script.endNs, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
  }
  if (!life.physical.stick.empty()) {
    simusb::insert(life.physical.stick);
    simusb::Faults faults = life.physical.stickFaults;
    faults.stalls = 0;  // the stick has been without power
    simusb::setFaults(faults);
  }
  simboard::setKey(simboard::Key::Parents, life.physical.parentsKey);
  simboard::setKey(simboard::Key::Power, life.physical.powerKey);
  simboard::setMono(life.physical.mono);
  if (life.physical.light >= 0) simboard::setLight(life.physical.light);
  simruntime::countThisThread();
  firmware_main();
  simk::endRun(0, "");
}

// While a life runs with a window: the window's requests are heard until the life's result
// comes. A window that goes away without a word ends the life as closing it does; a board that
// does not end within a few seconds of that is stopped.
void awaitLife(simwin::Handle& window, pid_t life, int resultFd) {
  constexpr int kGraceMs = 5000;
  int waitedAfterClose = 0;
  for (;;) {
    pollfd p{resultFd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) return;
    const bool wasClosed = window.closed;
    if (window.events >= 0) {
      simwin::poll(&window, 200, resultFd);
    } else {
      (void)::poll(&p, 1, 200);
    }
    if (!window.closed) continue;
    if (!wasClosed) (void)window.link->inbox.post("quit");
    waitedAfterClose += 200;
    if (waitedAfterClose > kGraceMs) {
      std::fprintf(stderr,
                   "shapeplay-sim: the board did not stop when the window closed; stopped it "
                   "(the SRAM file keeps what the last power-off left)\n");
      ::kill(life, SIGKILL);
      return;
    }
  }
}

// Runs one life in a child process and waits for it; -1 in status when it crashed.
LifeResult forkLife(const RunConfig& config, const Life& life) {
  LifeResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    std::perror("shapeplay-sim: pipe");
    result.status = 2;
    return result;
  }
  std::fflush(nullptr);
  simtrace::flush();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("shapeplay-sim: fork");
    result.status = 2;
    return result;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    runLife(config, life, pipeFds[1]);
  }
  close(pipeFds[1]);
  if (config.window != nullptr) awaitLife(*config.window, pid, pipeFds[0]);
  const ssize_t n = read(pipeFds[0], &result, sizeof result);
  close(pipeFds[0]);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(wstatus)) {
    std::fprintf(stderr, "shapeplay-sim: the simulated board crashed (signal %d: %s)\n",
                 WTERMSIG(wstatus), strsignal(WTERMSIG(wstatus)));
    result.status = 4;
  } else if (n != static_cast<ssize_t>(sizeof result)) {
    result.status = WEXITSTATUS(wstatus);
  }
  return result;
}

Physical outsideNow(simlink::Link* link) {
  simlink::Locked hold(link);
  const simlink::Outside& o = link->outside;
  Physical p;
  p.stick = o.stick;
  p.parentsKey = o.parentsKey;
  p.powerKey = o.powerKey;
  p.mono = o.mono;
  p.light = o.light;
  return p;
}

void setOutside(simlink::Link* link, const Physical& p) {
  simlink::Locked hold(link);
  simlink::Outside& o = link->outside;
  std::snprintf(o.stick, sizeof o.stick, "%s", p.stick.c_str());
  o.parentsKey = p.parentsKey;
  o.powerKey = p.powerKey;
  o.mono = p.mono;
  o.light = p.light;
}

// The lives of a board in a window. Each life has every command still to come (a `power on`
// while the board is on does nothing: the person may have switched it on first). Virtual time
// follows the wall clock across lives: a board that is off waits, in wall time, for the power
// key, the script's next `power on`, the end of --duration, or the window closing; the
// scenario's commands that fall due meanwhile change the outside world, as the window's
// controls do.
int runWithWindow(const RunConfig& config) {
  simwin::Handle& window = *config.window;
  simlink::Link* link = window.link;
  const auto& commands = config.script.commands;
  const auto& duration = config.options.durationNs;
  Life life;
  life.physical.stick = config.options.stick;
  setOutside(link, life.physical);
  link->wallZero = simlink::wallNow();
  for (;;) {
    life.stop = commands.size();
    link->inbox.clear();
    const LifeResult result = forkLife(config, life);
    if (window.closed) return result.status == simpower::kPoweredOff ? 0 : result.status;
    if (result.status != simpower::kPoweredOff) return result.status;

    std::size_t next = life.first + result.executed;
    // The stick's faults go with it: what the scenario set, as long as the same stick is in.
    Physical shadow = life.physical;
    for (std::size_t i = life.first; i < next; ++i) fold(shadow, commands[i]);
    if (const std::string in = outsideNow(link).stick; in != shadow.stick) {
      shadow.stick = in;  // the person changed the stick
      shadow.stickFaults = simusb::Faults{};
    }
    simk::Time start = 0;
    window.powerOnAsked = false;
    for (;;) {
      const auto now = static_cast<simk::Time>(
          std::max<std::int64_t>(simlink::wallNow() - link->wallZero.load(), 0));
      for (; next < commands.size() && commands[next].op != simscn::Op::PowerOn &&
             commands[next].timeNs <= now;
           ++next) {
        if (duration.has_value() && commands[next].timeNs >= *duration) break;
        Physical p = outsideNow(link);
        p.stickFaults = p.stick == shadow.stick ? shadow.stickFaults : simusb::Faults{};
        fold(p, commands[next]);
        setOutside(link, p);
        shadow = p;
      }
      if (window.closed || (duration.has_value() && now >= *duration)) return 0;
      if (window.powerOnAsked) {
        start = std::max<simk::Time>(now, result.endNs);
        break;
      }
      if (next < commands.size() && commands[next].op == simscn::Op::PowerOn &&
          commands[next].timeNs <= now) {
        start = std::max<simk::Time>(commands[next].timeNs, result.endNs);
        ++next;
        break;
      }
      // Until the next thing due, or a request from the window.
      simk::Time until = ~simk::Time{0};
      if (next < commands.size()) until = commands[next].timeNs;
      if (duration.has_value()) until = std::min(until, *duration);
      const simk::Time wait = until > now ? until - now : 0;
      simwin::poll(&window, static_cast<int>(std::min<simk::Time>(wait / simk::kMs + 1, 1000)));
    }
    life.physical = outsideNow(link);
    if (life.physical.stick == shadow.stick) life.physical.stickFaults = shadow.stickFaults;
    life.start = start;
    life.first = next;
    life.afterPowerOff = true;
    life.framesBefore = result.frames;
  }
}

}  // namespace

bool supported(simscn::Op op) {
  switch (op) {
    case simscn::Op::Wait:
    case simscn::Op::Event:
    case simscn::Op::Insert:
    case simscn::Op::Remove:
    case simscn::Op::Turn:
    case simscn::Op::Key:
    case simscn::Op::Mono:
    case simscn::Op::Light:
    case simscn::Op::Touch:
    case simscn::Op::Press:
    case simscn::Op::Release:
    case simscn::Op::Drag:
    case simscn::Op::Keycode:
    case simscn::Op::Screenshot:
    case simscn::Op::PowerOn:
    case simscn::Op::PowerCut:
    case simscn::Op::StickFault: return true;
    default: return false;
  }
}

int run(const RunConfig& config) {
  if (!config.options.sram.empty()) {
    std::string error;
    if (!prepareSramFile(config.options.sram, error)) {
      std::fprintf(stderr, "shapeplay-sim: %s\n", error.c_str());
      return 2;
    }
  }
  if (config.window != nullptr) return runWithWindow(config);
  const auto& commands = config.script.commands;
  const auto& duration = config.options.durationNs;
  Life life;
  life.physical.stick = config.options.stick;
  for (;;) {
    life.stop = life.first;
    while (life.stop < commands.size() && commands[life.stop].op != simscn::Op::PowerOn) {
      ++life.stop;
    }
    const LifeResult result = forkLife(config, life);
    if (result.status != simpower::kPoweredOff) return result.status;

    // The board is off. What the scenario does meanwhile only changes the outside world.
    std::size_t next = life.first;
    for (; next < life.first + result.executed; ++next) fold(life.physical, commands[next]);
    for (; next < commands.size() && commands[next].op != simscn::Op::PowerOn; ++next) {
      if (duration.has_value() && commands[next].timeNs >= *duration) break;
      fold(life.physical, commands[next]);
    }
    if (next >= commands.size() || commands[next].op != simscn::Op::PowerOn) return 0;
    if (duration.has_value() && commands[next].timeNs >= *duration) return 0;
    life.start = std::max<simk::Time>(commands[next].timeNs, result.endNs);
    life.first = next + 1;
    life.afterPowerOff = true;
    life.framesBefore = result.frames;
  }
}

}  // namespace simrun
