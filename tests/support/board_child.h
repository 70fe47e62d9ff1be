// Runs a piece of simulated board in a child process, so that every test gets a fresh board
// (kernel, heap, peripherals, statics), and hands back what the child reported.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "simkernel.h"

namespace boardtest {

struct Result {
  int status = -1;      // exit status of the child; -1 when it did not exit normally
  std::string notes;    // what the child wrote with note()
  std::string console;  // console bytes
  std::string trace;    // trace lines
};

struct Options {
  simk::Time duration = 10 * simk::kS;  // the run ends here unless something ends it sooner
  bool kernelTick = true;               // a 2 ms kernel tick without the firmware's TIM6
};

// In the child: setup() runs in the main context (create tasks, schedule events); then the
// scheduler starts unless setup() started it itself.
Result run(const std::function<void()>& setup, const Options& options = {});

// In the child: records a line for the parent ("\n" is added).
void note(const std::string& text);
// In the child: the current kernel tick, for notes.
unsigned tick();
// In the child: `fn` as a board event at virtual time `t`.
inline void at(simk::Time t, std::function<void()> fn) {
  simk::schedule(t, simk::kOrderBoard, std::move(fn));
}

// Lines of `text` that contain `needle`.
std::string grep(const std::string& text, const std::string& needle);

}  // namespace boardtest
