// Benchmark of the screen's cost to a headless run of the whole firmware on the simulated
// board (the simulator's runner, in this process):
//   - the demo tour with the frame loop drawing, against the same tour with drawing switched
//     off (frames run every tick and event but draw nothing): the wall-time ratio, one run of
//     each;
//   - an idle board (no stick, nothing to do) with its display, against the same board without
//     a display (no vertical sync, no frame loop): virtual seconds per wall second of each, and
//     their ratio.
// Figures only; nothing passes or fails.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <variant>

#include "runner.h"
#include "scenario.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wall seconds of one headless run; the console goes nowhere meanwhile.
double wallSeconds(const simrun::RunConfig& config) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  dup2(null, STDOUT_FILENO);
  const auto t0 = Clock::now();
  const int status = simrun::run(config);
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(null);
  if (status != 0) std::fprintf(stderr, "bench_screen: a run ended with status %d\n", status);
  return seconds;
}

}  // namespace

int main() {
  simrun::RunConfig tour;
  tour.options.headless = true;
  tour.options.stick = SHAPEPLAY_DEMO_STICK;
  auto loaded = simscn::loadScript(SHAPEPLAY_DEMO_TOUR);
  if (auto* error = std::get_if<simscn::ParseError>(&loaded)) {
    std::fprintf(stderr, "bench_screen: %s\n", error->text().c_str());
    return 1;
  }
  tour.script = std::get<simscn::Script>(std::move(loaded));
  tour.hasScript = true;
  const double tourVirtual = static_cast<double>(tour.script.endNs) / 1e9;

  simrun::RunConfig noDrawing = tour;
  noDrawing.drawing = false;
  const double drawn = wallSeconds(tour);
  const double undrawn = wallSeconds(noDrawing);
  std::printf(
      "screen: demo tour (%.0f s virtual) drawing %.3f s wall, drawing off %.3f s wall: "
      "ratio %.3f (at most 1.2 wanted)\n",
      tourVirtual, drawn, undrawn, drawn / undrawn);

  // The idle runs are short and the host is shared: the fastest of a few alternating runs of
  // each kind.
  constexpr double kIdleSeconds = 100;
  constexpr int kRounds = 5;
  simrun::RunConfig idle;
  idle.options.headless = true;
  idle.options.durationNs = static_cast<std::uint64_t>(kIdleSeconds * 1e9);
  simrun::RunConfig dark = idle;
  dark.display = false;
  double withDisplay = 1e9, withoutDisplay = 1e9;
  for (int i = 0; i < kRounds; ++i) {
    withDisplay = std::min(withDisplay, wallSeconds(idle));
    withoutDisplay = std::min(withoutDisplay, wallSeconds(dark));
  }
  std::printf(
      "screen: idle board %.0f virtual s per wall s with its display, %.0f without: "
      "ratio %.3f (fastest of %d runs of %.0f s each)\n",
      kIdleSeconds / withDisplay, kIdleSeconds / withoutDisplay, withoutDisplay / withDisplay,
      kRounds, kIdleSeconds);
  return 0;
}
