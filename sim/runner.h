// Runs the simulated board: each power-on is a fresh process (forked from a parent that
// never runs firmware code), so that every life starts the firmware from nothing, with all
// statics fresh, while the parent keeps the scenario and what survives a power cycle.
#pragma once

#include <string>

#include "options.h"
#include "scenario.h"

namespace simwin {
struct Handle;
}

namespace simrun {

struct RunConfig {
  simcli::Options options;
  simscn::Script script;  // empty when there is no script
  bool hasScript = false;
  int traceFd = -1;
  int logFd = -1;
  int consoleFd = 1;      // the console as it goes (standard output); -1: nowhere
  int wavFd = -1;         // --wav: each life appends what the speaker played
  int saiCaptureFd = -1;  // --sai-capture: each life appends the frames the SAI sent
  // Benchmarks: the frame loop draws (false: frames run but draw nothing); the board has a
  // display (false: no vertical sync, the frame loop never runs).
  bool drawing = true;
  bool display = true;
  // The window, when there is one (window.h): the board shows itself there, takes the
  // person's inputs from it and keeps in step with the wall clock; the run then ends when the
  // window is closed (or at --duration), not with the script, and a power-off waits for the
  // power key.
  simwin::Handle* window = nullptr;
};

// Whether the simulated board carries out this kind of scenario command.
bool supported(simscn::Op op);

// Runs the whole scenario; returns the exit status of the simulator.
int run(const RunConfig& config);

}  // namespace simrun
