// What a child waits for, on the demo stick, in virtual time (the simulator's trace):
//   - from power-on to the main screen showing the first root folder's picture: the first
//     new picture of the panel after the console's "image assigned" (at most 1.0 s wanted);
//   - from a touch on a shape to the first sample at the codec (the audio interface's start):
//     from the finger going down and from it lifting, which is when the button acts (at most
//     150 ms wanted).
// The figures are the same on every machine; the wall time of the run is printed beside them.
// Figures only; nothing passes or fails.
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "process.h"

namespace {

// The time (us) of the first trace line at or after `from` (us) that holds every one of
// `needles`; -1 if none does.
long long firstAfter(const std::string& trace, long long from,
                     std::initializer_list<const char*> needles) {
  std::size_t at = 0;
  while (at < trace.size()) {
    std::size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    const std::string line = trace.substr(at, end - at);
    at = end + 1;
    bool all = true;
    for (const char* n : needles) all = all && line.find(n) != std::string::npos;
    if (!all || line.rfind("{\"t\":", 0) != 0) continue;
    const long long t = std::stoll(line.substr(5));
    if (t >= from) return t;
  }
  return -1;
}

}  // namespace

int main() {
  const std::string dir = proc::tempDir();
  proc::writeFile(dir + "/touch.scn", "wait 1500ms\ntouch 34 242\nwait 1s\n");
  const auto t0 = std::chrono::steady_clock::now();
  const proc::Output o =
      proc::run({SHAPEPLAY_SIM, "--headless", "--stick", SHAPEPLAY_DEMO_STICK, "--script",
                 dir + "/touch.scn", "--trace", dir + "/trace.jsonl"});
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (o.status != 0) {
    std::fprintf(stderr, "bench_mainscreen: the run ended with status %d: %s\n", o.status,
                 o.err.c_str());
    return 1;
  }
  const std::string trace = proc::readFile(dir + "/trace.jsonl");
  const long long assigned = firstAfter(trace, 0, {R"("ev":"console","text":"image assigned")"});
  const long long shown = firstAfter(trace, assigned, {R"("ev":"frame")"});
  const long long press = firstAfter(trace, 0, {R"("ev":"touch")", R"("state":"press")"});
  const long long lift = firstAfter(trace, 0, {R"("ev":"touch")", R"("state":"release")"});
  const long long sound = firstAfter(trace, press, {R"("ev":"audio","state":"start")"});
  if (assigned < 0 || shown < 0 || press < 0 || lift < 0 || sound < 0) {
    std::fprintf(stderr, "bench_mainscreen: the trace lacks the picture, the touch or the sound\n");
    return 1;
  }
  std::printf(
      "main screen: power-on to the main screen showing its picture %.1f ms virtual "
      "(at most 1000 wanted)\n",
      shown / 1000.0);
  std::printf(
      "main screen: touch on a shape to the first sample at the codec %.1f ms virtual "
      "from the finger going down, %.1f ms from it lifting (at most 150 wanted); "
      "the run took %.2f s wall\n",
      (sound - press) / 1000.0, (sound - lift) / 1000.0, wall);
  return 0;
}
