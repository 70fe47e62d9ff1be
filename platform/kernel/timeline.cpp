// Virtual time and the timeline of timed events: interrupts, board inputs and the end of the
// run, ordered by time, then by `order` (NVIC priority for interrupts), then by scheduling.
// Virtual time advances only when no task is ready (the idle task runs the timeline) or while
// a context busy-waits. A board with nothing left that could ever wake a task is deadlocked;
// one whose time stands still for too many scheduling points is live-locked: either ends the
// run.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "kernel_state.h"
#include "runtime_heap.h"
#include "trace.h"

namespace simk::detail {
namespace {

// A board whose virtual time stands still for this many scheduling points is live-locked.
constexpr std::uint64_t kLivelockSwitches = 20'000'000;

std::string describeBlocked() {
  Kernel& k = K();
  std::string out;
  for (Tcb* t : k.tasks) {
    if (t->idle) continue;
    if (!out.empty()) out += ", ";
    out += t->name;
    switch (t->halted ? Wait::None : t->wait) {
      case Wait::Queue: out += " (queue)"; break;
      case Wait::Semaphore: out += " (semaphore)"; break;
      case Wait::Mutex: out += " (mutex)"; break;
      case Wait::Suspended: out += " (suspended)"; break;
      case Wait::Delay: out += " (delay)"; break;
      case Wait::None: out += t->halted ? " (halted)" : " (ready)"; break;
    }
  }
  return out.empty() ? std::string("no task") : out;
}

// Nothing can ever become ready again: no task waits with a time-out and no pending event
// can wake one.
bool deadlocked() {
  Kernel& k = K();
  return k.wakingEvents == 0 && k.delayed.empty() && k.pendingReady.empty();
}

}  // namespace

void runEvent() {
  Kernel& k = K();
  auto it = k.timeline.begin();
  const simk::Time t = std::get<0>(it->first);
  TimedEvent ev = std::move(it->second);
  k.timeline.erase(it);
  k.eventKeys.erase(ev.id);
  if (ev.wakes) --k.wakingEvents;
  if (t > k.now) k.now = t;
  ++k.isrDepth;
  ev.fn();
  --k.isrDepth;
}

void noteSchedulingPoint() {
  takeInbox();
  Kernel& k = K();
  if (k.now != k.lastPointTime) {
    k.lastPointTime = k.now;
    k.pointsWithoutTime = 0;
  } else if (++k.pointsWithoutTime > kLivelockSwitches) {
    simk::endRun(3, "livelock: virtual time has not advanced for " +
                        std::to_string(kLivelockSwitches) + " scheduling points");
  }
}

// One step of the idle loop: run the next event, then any switch it pended.
void idleStep(bool allowSwitch) {
  takeInbox();
  Kernel& k = K();
  if (k.timeline.empty() || deadlocked()) {
    simk::endRun(3, "deadlock: nothing can run any more: " + describeBlocked());
  }
  runEvent();
  if (allowSwitch && k.pendSV) {
    k.pendSV = false;
    switchContext();
  }
}

}  // namespace simk::detail

namespace simk {

using namespace detail;

Time now() { return K().now; }

void resetClock(Time start) {
  K().now = start;
  K().lastPointTime = start;
  handover::reset();
}

EventId schedule(Time t, int order, std::function<void()> fn, bool wakes) {
  simruntime::HostScope host;
  Kernel& k = K();
  if (t < k.now) t = k.now;
  const std::uint64_t seq = k.nextSeq++;
  const EventKey key{t, order, seq};
  k.timeline.emplace(key, TimedEvent{seq, std::move(fn), wakes});
  k.eventKeys.emplace(seq, key);
  if (wakes) ++k.wakingEvents;
  return seq;
}

bool cancel(EventId id) {
  Kernel& k = K();
  auto it = k.eventKeys.find(id);
  if (it == k.eventKeys.end()) return false;
  auto ev = k.timeline.find(it->second);
  if (ev->second.wakes) --k.wakingEvents;
  k.timeline.erase(ev);
  k.eventKeys.erase(it);
  return true;
}

void Periodic::start(Time first, Time period, int order, bool wakes, std::function<void()> fn) {
  stop();
  first_ = first;
  period_ = period;
  order_ = order;
  wakes_ = wakes;
  fn_ = std::move(fn);
  k_ = 0;
  arm();
}

void Periodic::arm() {
  pending_ = schedule(
      first_ + k_ * period_, order_,
      [this] {
        pending_ = 0;
        ++k_;
        arm();
        fn_();
      },
      wakes_);
}

void Periodic::stop() {
  if (pending_ != 0) cancel(pending_);
  pending_ = 0;
}

bool inInterrupt() { return K().isrDepth > 0; }

void busyWait(Time duration) {
  Kernel& k = K();
  const Time until = k.now + duration;
  if (k.isrDepth > 0) {
    // An interrupt handler that polls holds off everything of lower priority.
    k.now = until;
    return;
  }
  while (k.now < until) {
    if (!k.timeline.empty() && std::get<0>(k.timeline.begin()->first) <= until) {
      runEvent();
      if (k.running && k.pendSV) {
        k.pendSV = false;
        if (k.schedulerSuspended == 0) {
          switchContext();
          settle(self());
        } else {
          k.yieldPending = true;
        }
      }
    } else {
      k.now = until;
    }
  }
}

void addEndHook(std::function<void(int)> hook) { K().endHooks.push_back(std::move(hook)); }

void endRun(int status, const std::string& message) {
  Kernel& k = K();
  if (!k.ending) {
    k.ending = true;
    for (auto it = k.endHooks.rbegin(); it != k.endHooks.rend(); ++it) (*it)(status);
  }
  simtrace::flush();
  if (!message.empty()) {
    const std::string line = "shapeplay-sim: " + message + "\n";
    (void)!::write(2, line.data(), line.size());
  }
  std::fflush(stderr);
  ::_exit(status);
}

}  // namespace simk
