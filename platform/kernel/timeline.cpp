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

// An event id holds the slot's number in its low bits and the event's sequence above them.
constexpr unsigned kSlotBits = 24;
constexpr std::uint64_t kSlotMask = (1ULL << kSlotBits) - 1;

__attribute__((always_inline)) inline void Timeline::siftUp(std::size_t i, const HeapEntry& e) {
  while (i > 0) {
    const std::size_t parent = (i - 1) / 2;
    if (!e.before(heap_[parent])) break;
    place(i, heap_[parent]);
    i = parent;
  }
  place(i, e);
}

__attribute__((always_inline)) inline void Timeline::siftDown(std::size_t i, const HeapEntry& e) {
  const std::size_t n = heap_.size();
  for (;;) {
    std::size_t child = 2 * i + 1;
    if (child >= n) break;
    if (child + 1 < n && heap_[child + 1].before(heap_[child])) ++child;
    if (!heap_[child].before(e)) break;
    place(i, heap_[child]);
    i = child;
  }
  place(i, e);
}

void Timeline::removeAt(std::size_t i) {
  const HeapEntry last = heap_.back();
  heap_.pop_back();
  if (i == heap_.size()) return;
  if (i > 0 && last.before(heap_[(i - 1) / 2])) {
    siftUp(i, last);
  } else {
    siftDown(i, last);
  }
}

void Timeline::release(std::uint32_t slot) {
  EventSlot& s = slots_[slot];
  s.seq = 0;
  s.fn = nullptr;
  free_.push_back(slot);  // never grows beyond the slots' capacity reserved in takeSlot()
}

std::uint32_t Timeline::takeSlot() {
  if (free_.empty()) {
    // The tables grow (rarely): the board's bookkeeping, not the firmware's heap.
    simruntime::HostScope host;
    if (slots_.size() > kSlotMask) simk::endRun(2, "too many pending events on the timeline");
    slots_.emplace_back();
    closures_.emplace_back();
    free_.reserve(slots_.capacity());
    heap_.reserve(slots_.capacity());
    free_.push_back(static_cast<std::uint32_t>(slots_.size() - 1));
  }
  const std::uint32_t slot = free_.back();
  free_.pop_back();
  return slot;
}

simk::EventId Timeline::insert(simk::Time t, int order, std::uint32_t slot) {
  const std::uint64_t seq = nextSeq_++;
  slots_[slot].seq = seq;
  const HeapEntry e{t, order, slot, seq};
  if (topTaken_) {
    // In the place of the event that has just run.
    topTaken_ = false;
    siftDown(0, e);
  } else {
    heap_.push_back(e);
    siftUp(heap_.size() - 1, e);
  }
  return seq << kSlotBits | slot;
}

simk::EventId Timeline::add(simk::Time t, int order, simk::EventFn fn, void* arg, bool wakes) {
  const std::uint32_t slot = takeSlot();
  EventSlot& s = slots_[slot];
  s.fn = fn;
  s.arg = arg;
  s.wakes = wakes;
  return insert(t, order, slot);
}

simk::EventId Timeline::addClosure(simk::Time t, int order, std::function<void()>&& closure,
                                   bool wakes) {
  const std::uint32_t slot = takeSlot();
  EventSlot& s = slots_[slot];
  s.fn = nullptr;
  s.arg = nullptr;
  s.wakes = wakes;
  {
    simruntime::HostScope host;
    closures_[slot] = std::move(closure);
  }
  return insert(t, order, slot);
}

bool Timeline::remove(simk::EventId id, bool& wakes) {
  const std::uint64_t slot = id & kSlotMask;
  if (slot >= slots_.size() || id >> kSlotBits == 0 || slots_[slot].seq != id >> kSlotBits) {
    return false;
  }
  settle();
  EventSlot& s = slots_[slot];
  wakes = s.wakes;
  removeAt(s.heapIndex);
  if (s.fn == nullptr) {
    simruntime::HostScope host;
    closures_[slot] = nullptr;
  }
  release(static_cast<std::uint32_t>(slot));
  return true;
}

Timeline::Due Timeline::takeFirst(std::function<void()>& closure) {
  settle();
  const HeapEntry first = heap_.front();
  EventSlot& s = slots_[first.slot];
  const Due due{first.t, s.fn, s.arg, s.wakes};
  if (s.fn == nullptr) closure = std::move(closures_[first.slot]);
  release(first.slot);
  topTaken_ = true;
  return due;
}

void runEvent() {
  Kernel& k = K();
  std::function<void()> closure;
  const Timeline::Due ev = k.timeline.takeFirst(closure);
  if (ev.wakes) --k.wakingEvents;
  if (ev.t > k.now) k.now = ev.t;
  ++k.isrDepth;
  if (ev.fn != nullptr) {
    ev.fn(ev.arg);
  } else {
    closure();
  }
  --k.isrDepth;
  k.timeline.settle();
  if (closure) {
    simruntime::HostScope host;
    closure = nullptr;
  }
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

EventId schedule(Time t, int order, EventFn fn, void* arg, bool wakes) {
  Kernel& k = K();
  if (t < k.now) t = k.now;
  if (wakes) ++k.wakingEvents;
  return k.timeline.add(t, order, fn, arg, wakes);
}

EventId schedule(Time t, int order, std::function<void()> fn, bool wakes) {
  Kernel& k = K();
  if (t < k.now) t = k.now;
  if (wakes) ++k.wakingEvents;
  return k.timeline.addClosure(t, order, std::move(fn), wakes);
}

bool cancel(EventId id) {
  Kernel& k = K();
  bool wakes = false;
  if (!k.timeline.remove(id, wakes)) return false;
  if (wakes) --k.wakingEvents;
  return true;
}

void Periodic::start(Time first, Time period, int order, bool wakes, EventFn fn, void* arg) {
  stop();
  first_ = first;
  period_ = period;
  order_ = order;
  wakes_ = wakes;
  fn_ = fn;
  arg_ = arg;
  k_ = 0;
  arm();
}

void Periodic::start(Time first, Time period, int order, bool wakes, std::function<void()> fn) {
  stop();
  {
    simruntime::HostScope host;
    closure_ = std::move(fn);
  }
  start(first, period, order, wakes, &Periodic::callClosure, this);
}

void Periodic::callClosure(void* self) { static_cast<Periodic*>(self)->closure_(); }

// The next event is on the timeline before this one's work runs, as a timer reloads itself.
void Periodic::fire(void* self) {
  auto* p = static_cast<Periodic*>(self);
  p->pending_ = 0;
  ++p->k_;
  p->arm();
  p->fn_(p->arg_);
}

void Periodic::arm() { pending_ = schedule(first_ + k_ * period_, order_, &fire, this, wakes_); }

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
    if (!k.timeline.empty() && k.timeline.nextTime() <= until) {
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
