// The whole firmware on the simulated board over a fuzzed stick: FAT structures, names, MP3
// data and picture bytes all come from the input. The board powers on with the stick in the
// slot, and a short scenario (a few virtual seconds) lists the folders, plays a folder, loads
// the overview's pictures, skips a track and plays another folder. The run must end as
// planned: a halt of a thread (bad alloc, a kernel assertion, a hard fault, ...), a deadlock,
// a crash or a sanitizer report fails it.
//
// Input: a stick image, its missing end zeros (at least 1 MiB). Each run is a power-on of the
// board in a child process, as in the simulator; the child hands its coverage counters back,
// so that libFuzzer sees what the firmware did.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "process.h"
#include "runner.h"
#include "scenario.h"
#include "simkernel.h"

extern "C" {
// libFuzzer's inline 8-bit counters: the linker marks where their section starts and ends.
extern uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
}

namespace {

constexpr size_t kMinimumImage = 1 << 20;

constexpr const char* kScenario =
    "wait 1200ms\n"
    "event BTN_PlaybackFolder main=0 playback=0\n"
    "wait 1500ms\n"
    "event BTN_Overview_Refresh param=0\n"
    "wait 300ms\n"
    "event BTN_Forward\n"
    "wait 700ms\n"
    "event BTN_PlaybackFolder main=1 playback=1\n"
    "wait 800ms\n";

void check(bool condition) {
  if (!condition) __builtin_trap();
}

size_t counterBytes() {
  if (__start___sancov_cntrs == nullptr) return 0;
  return static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
}

// Where a board's process leaves its counters for this one.
uint8_t* sharedCounters() {
  static uint8_t* shared = [] {
    const size_t n = counterBytes();
    if (n == 0) return static_cast<uint8_t*>(nullptr);
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    check(p != MAP_FAILED);
    // At the end of every power-on (the board's end hooks run in its process).
    simk::addEndHook([](int) {
      if (counterBytes() != 0)
        std::memcpy(sharedCounters(), __start___sancov_cntrs, counterBytes());
    });
    return static_cast<uint8_t*>(p);
  }();
  return shared;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int image = memfd_create("stick", 0);
  static const int trace = memfd_create("trace", 0);
  uint8_t* shared = sharedCounters();
  check(ftruncate(image, 0) == 0 && ftruncate(trace, 0) == 0);
  check(ftruncate(image, static_cast<off_t>(size < kMinimumImage ? kMinimumImage : size)) == 0);
  check(pwrite(image, data, size, 0) == static_cast<ssize_t>(size));

  auto parsed = simscn::parseScript(kScenario, "fuzz.scn", "");
  simrun::RunConfig config;
  config.options.headless = true;
  config.options.stick = "/proc/self/fd/" + std::to_string(image);
  config.script = std::get<simscn::Script>(std::move(parsed));
  config.hasScript = true;
  config.consoleFd = -1;
  config.traceFd = trace;
  if (shared != nullptr) std::memset(shared, 0, counterBytes());
  const int status = simrun::run(config);
  // What the board's process covered counts as covered here.
  for (size_t i = 0; shared != nullptr && i < counterBytes(); ++i) {
    __start___sancov_cntrs[i] |= shared[i];
  }
  check(status == 0);  // not a deadlock (3), a crash (4) or a sanitizer's report (1)
  check(proc::readAll(trace).find("\"ev\":\"halt\"") == std::string::npos);
  return 0;
}
