// The simulated board's processor: virtual time, the timeline of timed events, interrupt
// context, the CPU token passed between kernel tasks, halts and the end of a run.
//
// Every kernel task has a context of its own, but only the holder of the CPU token runs; how
// the token passes between contexts is the hand-over's business (handover.h). Virtual time
// advances only when no task is ready (the idle task runs the timeline) or while a task
// busy-waits. Events at the same time run in `order` (NVIC priority for interrupts, lower
// first), then in scheduling order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace simk {

using Time = std::uint64_t;  // virtual nanoseconds since the first power-on
inline constexpr Time kUs = 1000;
inline constexpr Time kMs = 1000 * kUs;
inline constexpr Time kS = 1000 * kMs;

// Orders of events that share a time: interrupts use their NVIC priority (0..15).
inline constexpr int kOrderBoard = 32;     // board inputs (scenario commands, stick)
inline constexpr int kOrderEnd = 1 << 20;  // end of the run: after everything else

Time now();

// A pending event's id; never 0, and never the id of another event, even after it has run.
using EventId = std::uint64_t;
// What an event runs: a plain function with its argument. The board's frequent events (timer
// updates, DMA and SAI interrupts) take this form, which the timeline keeps without allocating.
using EventFn = void (*)(void* arg);
// Runs fn(arg) in interrupt context at virtual time t (or now, if t is in the past). `wakes`
// says whether the event can make a task ready; events that cannot (the tick, statistics
// timers, the end of the run) do not keep a deadlocked board alive.
EventId schedule(Time t, int order, EventFn fn, void* arg, bool wakes = true);
// The same for a closure (board inputs, the end of a run: events that are rare).
EventId schedule(Time t, int order, std::function<void()> fn, bool wakes = true);
// Removes a pending event; false when it has run already or was never scheduled.
bool cancel(EventId id);

// A periodic event: first at `first`, then every `period` (computed without drift as
// first + k * period). fn runs in interrupt context.
class Periodic {
 public:
  Periodic() = default;
  Periodic(const Periodic&) = delete;
  Periodic& operator=(const Periodic&) = delete;
  ~Periodic() { stop(); }
  void start(Time first, Time period, int order, bool wakes, EventFn fn, void* arg);
  void start(Time first, Time period, int order, bool wakes, std::function<void()> fn);
  void stop();
  bool running() const { return pending_ != 0; }
  Time next() const { return first_ + k_ * period_; }  // when it fires next
  Time period() const { return period_; }

 private:
  static void fire(void* self);
  static void callClosure(void* self);
  void arm();
  Time first_ = 0, period_ = 0;
  std::uint64_t k_ = 0;
  int order_ = 0;
  bool wakes_ = false;
  EventId pending_ = 0;
  EventFn fn_ = nullptr;
  void* arg_ = nullptr;
  std::function<void()> closure_;
};

bool inInterrupt();
bool schedulerRunning();
// Name of the running context: a task's name, "main" before the scheduler, "interrupt".
const char* contextName();

// The running context keeps the CPU while `duration` passes (a polling wait); interrupts
// run meanwhile and may pre-empt the waiting task.
void busyWait(Time duration);

// Parks the calling context for good and records it in the trace. From a task: the task
// never runs again, the rest of the board goes on. From main before the scheduler: only
// interrupts and board events go on. From an interrupt handler: the board stops, the run ends.
[[noreturn]] void halt(const char* reason);

// End of a run: hooks run in reverse order of registration, then the process exits.
void addEndHook(std::function<void(int status)> hook);
[[noreturn]] void endRun(int status, const std::string& message);

// What a task is doing, for tests and messages.
struct TaskInfo {
  std::string name;
  unsigned priority = 0;
  unsigned stackWords = 0;
  std::string state;  // "running", "ready", "delayed", "queue", "semaphore", "mutex",
                      // "suspended", "halted"
};
std::vector<TaskInfo> tasks();

// Counts the blocking waits of the running context; console text printed since the last
// change belongs to the context's current burst of work.
std::uint64_t contextEpoch();

// Statistics for the trace and benchmarks.
std::uint64_t contextSwitches();
std::size_t kernelHeapPeak();
std::size_t kernelHeapInUse();

// Called once in a fresh process before the firmware starts; `start` is the virtual time of
// this power-on.
void resetClock(Time start);

}  // namespace simk
