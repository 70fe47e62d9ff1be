#include "runner.h"

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "FreeRTOS.h"
#include "console.h"
#include "gui/User/modelUserData.h"
#include "runtime_heap.h"
#include "sim_stdio.h"
#include "simhal.h"
#include "simkernel.h"
#include "stick.h"
#include "timefmt.h"
#include "trace.h"

int firmware_main(void);

namespace simrun {
namespace {

struct LifeResult {
  int status = 0;
  std::uint64_t endNs = 0;
};

[[noreturn]] void scenarioError(const RunConfig& config, const simscn::Command& cmd,
                                const std::string& what) {
  simk::endRun(1, config.script.file + ":" + std::to_string(cmd.line) + ": " + what);
}

void execute(const RunConfig& config, const simscn::Command& cmd) {
  if (cmd.op == simscn::Op::Wait) return;
  simtrace::Event("scenario").num("line", cmd.line).str("cmd", simscn::describe(cmd));
  switch (cmd.op) {
    case simscn::Op::Insert: simusb::insert(cmd.path); return;
    case simscn::Op::Remove: simusb::remove(); return;
    case simscn::Op::Event: {
      if (guiQueueModelUserEvent == nullptr) {
        scenarioError(config, cmd, "event before the user interface has started");
      }
      ModelUserEvent event;
      event.button = static_cast<ButtonEventEnum>(cmd.button);
      event.selectedMainFolder = cmd.mainFolder;
      event.selectedPlaybackFolder = cmd.playback;
      event.parameter = cmd.param;
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

[[noreturn]] void runLife(const RunConfig& config, int resultFd) {
  keepToOneProcessor();
  simk::resetClock(0);
  simtrace::open(config.traceFd);
  simtrace::setClock(&simk::now);
  simconsole::setOutputs(STDOUT_FILENO, config.logFd);
  simhal::setConsoleSink(&simconsole::put);
  simruntime::routeStdoutToFirmware();
  simhal::installFaultHandlers();

  simk::addEndHook([resultFd](int status) {
    simconsole::flush(true);
    simtrace::Event("heap")
        .unum("kernel_peak", simk::kernelHeapPeak())
        .unum("runtime_peak", simruntime::runtimeHeapPeak());
    simtrace::flush();
    LifeResult r{status, simk::now()};
    (void)!::write(resultFd, &r, sizeof r);
  });

  if (config.options.realtime) paceToWallClock();
  if (config.hasScript) {
    for (const simscn::Command& cmd : config.script.commands) {
      const simscn::Command* c = &cmd;
      simk::schedule(cmd.timeNs, simk::kOrderBoard, [&config, c] { execute(config, *c); });
    }
  }
  const auto& duration = config.options.durationNs;
  if (duration.has_value()) {
    simk::schedule(
        *duration, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
  } else if (config.hasScript) {
    simk::schedule(
        config.script.endNs, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
  }
  if (!config.options.stick.empty()) simusb::insert(config.options.stick);
  simruntime::countThisThread();
  firmware_main();
  simk::endRun(0, "");
}

}  // namespace

bool supported(simscn::Op op) {
  switch (op) {
    case simscn::Op::Wait:
    case simscn::Op::Event:
    case simscn::Op::Insert:
    case simscn::Op::Remove: return true;
    default: return false;
  }
}

int run(const RunConfig& config) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    std::perror("shapeplay-sim: pipe");
    return 2;
  }
  std::fflush(nullptr);
  simtrace::flush();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("shapeplay-sim: fork");
    return 2;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    runLife(config, pipeFds[1]);
  }
  close(pipeFds[1]);
  LifeResult result;
  const ssize_t n = read(pipeFds[0], &result, sizeof result);
  close(pipeFds[0]);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(wstatus)) {
    std::fprintf(stderr, "shapeplay-sim: the simulated board crashed (signal %d: %s)\n",
                 WTERMSIG(wstatus), strsignal(WTERMSIG(wstatus)));
    return 4;
  }
  if (n != static_cast<ssize_t>(sizeof result)) return WEXITSTATUS(wstatus);
  return result.status;
}

}  // namespace simrun
