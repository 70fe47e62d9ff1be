#include "board_child.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "FreeRTOS.h"
#include "console.h"
#include "process.h"
#include "sim_stdio.h"
#include "simhal.h"
#include "task.h"
#include "trace.h"
#include "wiring.h"

namespace boardtest {
namespace {

int notesFd = -1;

simk::Periodic& tickSource() {
  static simk::Periodic p;
  return p;
}

}  // namespace

void note(const std::string& text) {
  const std::string line = text + "\n";
  (void)!write(notesFd, line.data(), line.size());
}

unsigned tick() { return static_cast<unsigned>(xTaskGetTickCount()); }

Result run(const std::function<void()>& setup, const Options& options) {
  const int notes = memfd_create("notes", 0);
  const int console = memfd_create("console", 0);
  const int trace = memfd_create("trace", 0);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    notesFd = notes;
    simk::resetClock(0);
    simtrace::open(trace);
    simtrace::setClock(&simk::now);
    simconsole::setOutput(
        [console](std::string_view bytes) { (void)!write(console, bytes.data(), bytes.size()); });
    simboard::wire();
    simruntime::routeStdoutToFirmware();
    simhal::installFaultHandlers();
    simk::addEndHook([](int) {
      simconsole::flush(true);
      simtrace::flush();
    });
    simk::schedule(
        options.duration, simk::kOrderEnd, [] { simk::endRun(0, ""); }, false);
    if (options.kernelTick) {
      tickSource().start(
          2 * simk::kMs, 2 * simk::kMs, 15, false, [](void*) { xPortSysTickHandler(); }, nullptr);
    }
    setup();
    if (!simk::schedulerRunning()) vTaskStartScheduler();
    simk::endRun(0, "");
  }
  Result r;
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.notes = proc::readAll(notes);
  r.console = proc::readAll(console);
  r.trace = proc::readAll(trace);
  close(notes);
  close(console);
  close(trace);
  return r;
}

std::string grep(const std::string& text, const std::string& needle) {
  return proc::grep(text, needle);
}

}  // namespace boardtest
