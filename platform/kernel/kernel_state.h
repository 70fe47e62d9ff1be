// The kernel's shared state and its internal operations, for the kernel's own files: the
// timeline (timeline.cpp), the scheduler and tasks (scheduler.cpp), queues, semaphores and
// mutexes (queues.cpp) and the port layer (port.cpp). The hand-over of the processor between
// task contexts is behind handover.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "handover.h"
#include "siminbox.h"
#include "simkernel.h"
#include "task.h"

namespace simk::detail {

constexpr int kPriorities = configMAX_PRIORITIES;
constexpr std::uint64_t kNever = ~0ULL;
// Sizes the target build of the kernel takes from its heap besides a task's stack and a
// queue's storage; they keep the heap's high-water mark close to the board's.
constexpr size_t kTcbBytes = 96;
constexpr size_t kQueueBytes = 80;

struct Tcb;
struct KList;

struct ListItem {
  std::uint64_t value = 0;
  ListItem* next = nullptr;
  ListItem* prev = nullptr;
  Tcb* owner = nullptr;
  KList* container = nullptr;
};

// A circular list with an end marker and a walking index, as the kernel's lists are.
struct KList {
  size_t count = 0;
  ListItem* index;
  ListItem end;
  KList() {
    end.value = kNever;
    end.next = &end;
    end.prev = &end;
    index = &end;
  }
  KList(const KList&) = delete;
  KList& operator=(const KList&) = delete;

  // Before the index: the item is the last one the walk reaches.
  void insertEnd(ListItem* item) {
    item->next = index;
    item->prev = index->prev;
    index->prev->next = item;
    index->prev = item;
    item->container = this;
    ++count;
  }
  // Sorted by value; after all items of equal value.
  void insertSorted(ListItem* item) {
    ListItem* it = &end;
    if (item->value != kNever) {
      while (it->next != &end && it->next->value <= item->value) it = it->next;
    } else {
      it = end.prev;
    }
    item->next = it->next;
    item->next->prev = item;
    item->prev = it;
    it->next = item;
    item->container = this;
    ++count;
  }
  static void remove(ListItem* item) {
    KList* list = item->container;
    if (list == nullptr) return;
    item->next->prev = item->prev;
    item->prev->next = item->next;
    if (list->index == item) list->index = item->prev;
    item->container = nullptr;
    --list->count;
  }
  Tcb* nextOwner() {
    index = index->next;
    if (index == &end) index = index->next;
    return index->owner;
  }
  Tcb* headOwner() const { return end.next->owner; }
  ListItem* head() const { return end.next; }
  bool empty() const { return count == 0; }
};

enum class Wait : std::uint8_t { None, Delay, Queue, Semaphore, Mutex, Suspended };

struct Tcb {
  char name[configMAX_TASK_NAME_LEN] = {};
  UBaseType_t priority = 0;
  UBaseType_t basePriority = 0;
  std::uint16_t stackDepth = 0;
  ListItem stateItem;
  ListItem eventItem;
  TaskFunction_t code = nullptr;
  void* parameters = nullptr;
  handover::Context* context = nullptr;  // null for the idle task, whose work main does
  bool idle = false;
  bool halted = false;
  bool timedOut = false;
  bool objectDeleted = false;  // the queue it waited on was deleted meanwhile
  UBaseType_t mutexesHeld = 0;
  Wait wait = Wait::None;
  std::uint64_t epoch = 0;  // blocking waits so far
  void* stack = nullptr;
  void* tcbBlock = nullptr;
};

// The timeline: pending events in a table of slots that are reused, and a binary heap of their
// keys (time, order, scheduling sequence), so that scheduling, running and cancelling an event
// allocate nothing once the tables have grown to the board's needs. The event running is left
// at the top of the heap until it has run: an event it schedules (a periodic one's next) takes
// its place with a single pass down the heap.
struct EventSlot {
  std::uint64_t seq = 0;       // scheduling sequence of the event here; 0 while the slot is free
  simk::EventFn fn = nullptr;  // null: the slot's closure runs
  void* arg = nullptr;
  std::uint32_t heapIndex = 0;
  bool wakes = false;
};

struct HeapEntry {
  simk::Time t;
  int order;
  std::uint32_t slot;
  std::uint64_t seq;
  bool before(const HeapEntry& o) const {
    if (t != o.t) return t < o.t;
    if (order != o.order) return order < o.order;
    return seq < o.seq;
  }
};

class Timeline {
 public:
  bool empty() {
    settle();
    return heap_.empty();
  }
  simk::Time nextTime() {
    settle();
    return heap_.front().t;
  }
  simk::EventId add(simk::Time t, int order, simk::EventFn fn, void* arg, bool wakes);
  simk::EventId addClosure(simk::Time t, int order, std::function<void()>&& closure, bool wakes);
  // False when `id` is not pending.
  bool remove(simk::EventId id, bool& wakes);
  // Takes the earliest event off the timeline: what it runs and when (a closure into
  // `closure`). Its entry stays at the top of the heap until settle().
  struct Due {
    simk::Time t;
    simk::EventFn fn;
    void* arg;
    bool wakes;
  };
  Due takeFirst(std::function<void()>& closure);
  // The entry of the event taken last leaves the heap, unless an event took its place.
  void settle() {
    if (!topTaken_) return;
    topTaken_ = false;
    removeAt(0);
  }

 private:
  void place(std::size_t i, const HeapEntry& e) {
    heap_[i] = e;
    slots_[e.slot].heapIndex = static_cast<std::uint32_t>(i);
  }
  // `e` is not an entry of the heap. Both are inlined where they are used: an entry passed
  // through memory costs a stalled load (its fields are stored one by one, then read whole).
  void siftUp(std::size_t i, const HeapEntry& e);
  void siftDown(std::size_t i, const HeapEntry& e);
  void removeAt(std::size_t i);
  std::uint32_t takeSlot();
  void release(std::uint32_t slot);
  simk::EventId insert(simk::Time t, int order, std::uint32_t slot);

  std::vector<EventSlot> slots_;
  std::vector<std::function<void()>> closures_;  // by slot
  std::vector<std::uint32_t> free_;
  std::vector<HeapEntry> heap_;
  std::uint64_t nextSeq_ = 1;
  bool topTaken_ = false;  // heap_[0] is the event taken last, no longer pending
};

struct Kernel {
  // Virtual time and the timeline.
  simk::Time now = 0;
  Timeline timeline;
  size_t wakingEvents = 0;
  int isrDepth = 0;
  bool pendSV = false;

  // Scheduler.
  KList ready[kPriorities];
  KList delayed;
  KList pendingReady;
  KList suspended;
  Tcb* current = nullptr;
  Tcb* idle = nullptr;
  bool running = false;
  UBaseType_t schedulerSuspended = 0;
  bool yieldPending = false;
  std::uint64_t tick = 0;  // the kernel tick count, without wrap
  std::uint64_t nextUnblock = kNever;
  TickType_t pendedTicks = 0;
  std::vector<Tcb*> tasks;
  std::uint64_t switches = 0;
  std::uint64_t pointsWithoutTime = 0;
  simk::Time lastPointTime = 0;
  unsigned criticalNesting = 0;

  std::vector<std::function<void(int)>> endHooks;
  bool ending = false;
};

// The kernel of this board (never destroyed: host threads may still look at it).
inline Kernel& K() {
  static Kernel* const k = new Kernel();
  return *k;
}

// The task the calling context runs; null in the main context.
inline Tcb* self() { return static_cast<Tcb*>(handover::self()); }

// ---- timeline (timeline.cpp)
// Runs the earliest event in interrupt context.
void runEvent();
// One step of the idle loop: run the next event, then any switch it pended (when allowed).
void idleStep(bool allowSwitch);
// Counts a scheduling point; a board whose virtual time stands still too long is live-locked.
void noteSchedulingPoint();

// ---- inbox (inbox.cpp)
extern Inbox* connectedInbox;  // null: none
void takeWaitingMessages();
// What host threads posted to the board's inbox becomes board events now. Looked at every
// scheduling point: without an inbox, or with nothing in it, it costs a test or two.
inline void takeInbox() {
  if (connectedInbox != nullptr && connectedInbox->waiting()) takeWaitingMessages();
}

// ---- scheduler (scheduler.cpp)
void addToReady(Tcb* t);
// Chooses the task to run (or defers the switch while the scheduler is suspended).
void switchContext();
// Makes the host contexts agree with `current`: the calling context (running `me`) hands the
// processor to the current task and returns when it is the current task again. While the
// idle task is current, the calling context runs the timeline on its behalf.
void settle(Tcb* me);
// A kernel call's scheduling point.
void yieldWithinApi();
// The running task leaves the ready list for the delayed list (or, waiting without limit,
// the suspended list).
void addCurrentToDelayed(TickType_t ticks, bool indefinitely);
// Moves the highest-priority waiter of an event list to the ready list; true when it outranks
// the running task.
bool removeFromEventList(KList& list);
void placeOnEventList(KList& list, TickType_t ticks, Wait why);
// Puts a task back on the ready list of its (new) priority if it is ready now.
void changePriority(Tcb* t, UBaseType_t priority);
// The tick: true when a switch is due.
bool incrementTick();
// Whether a wait that started at `entry` for `ticks` is over; else the ticks still to wait.
bool checkTimeout(std::uint64_t entry, TickType_t ticks, TickType_t& remaining);
// The application's assertion failed: the calling context stops.
[[noreturn]] void assertFailed(const char* what);

}  // namespace simk::detail
