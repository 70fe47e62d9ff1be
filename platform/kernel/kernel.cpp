// The simulated RTOS kernel: tasks, scheduler, tick, delays, queues, semaphores, mutexes.
//
// It follows the documented rules of the real kernel: fixed priorities 0..6 with pre-emption,
// ready lists walked round robin (a task made ready goes to the end of its list; the tick
// rotates tasks of equal priority), event lists ordered by priority and FIFO among equals,
// delayed tasks woken by the tick, mutexes with priority inheritance, deferred switches
// while the scheduler is suspended and a switch pended from interrupts by portYIELD_FROM_ISR.
//
// Simplifications: interrupts run only at scheduling points and during busy waits, so
// critical sections and the interrupt mask have nothing to protect and are only counted.
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "FreeRTOS.h"
#include "queue.h"
#include "runtime_heap.h"
#include "semphr.h"
#include "simkernel.h"
#include "task.h"
#include "trace.h"

extern "C" void vApplicationTickHook(void);

namespace {

constexpr int kPriorities = configMAX_PRIORITIES;
constexpr std::uint64_t kNever = ~0ULL;
// Sizes the target build of the kernel takes from its heap besides a task's stack and a
// queue's storage; they keep the heap's high-water mark close to the board's.
constexpr size_t kTcbBytes = 96;
constexpr size_t kQueueBytes = 80;
constexpr size_t kHostStackBytes = 4u << 20;
// A board whose virtual time stands still for this many scheduling points is live-locked.
constexpr std::uint64_t kLivelockSwitches = 20'000'000;

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
  sem_t cpu;  // posted when this task gets the CPU
  pthread_t host{};
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

struct Event {
  simk::EventId id;
  std::function<void()> fn;
  bool wakes;
};
using EventKey = std::tuple<simk::Time, int, std::uint64_t>;

struct Kernel {
  // Virtual time and the timeline.
  simk::Time now = 0;
  std::map<EventKey, Event> timeline;
  std::unordered_map<simk::EventId, EventKey> eventKeys;
  std::uint64_t nextSeq = 1;
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

Kernel& K() {
  static Kernel* k = new Kernel();  // never destroyed: host threads may still look at it
  return *k;
}

thread_local Tcb* tlsSelf = nullptr;  // the task this host thread runs; null for main
sem_t mainCpu;                        // main never gets the CPU back once the scheduler runs

// ---------------------------------------------------------------------------------------------
// Timeline

void runEvent() {
  Kernel& k = K();
  auto it = k.timeline.begin();
  const simk::Time t = std::get<0>(it->first);
  Event ev = std::move(it->second);
  k.timeline.erase(it);
  k.eventKeys.erase(ev.id);
  if (ev.wakes) --k.wakingEvents;
  if (t > k.now) k.now = t;
  ++k.isrDepth;
  ev.fn();
  --k.isrDepth;
}

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

void noteSchedulingPoint() {
  Kernel& k = K();
  if (k.now != k.lastPointTime) {
    k.lastPointTime = k.now;
    k.pointsWithoutTime = 0;
  } else if (++k.pointsWithoutTime > kLivelockSwitches) {
    simk::endRun(3, "livelock: virtual time has not advanced for " +
                        std::to_string(kLivelockSwitches) + " scheduling points");
  }
}

void switchContext();

// One step of the idle loop: run the next event, then any switch it pended.
void idleStep(bool allowSwitch) {
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

// ---------------------------------------------------------------------------------------------
// Scheduler core

void addToReady(Tcb* t) { K().ready[t->priority].insertEnd(&t->stateItem); }

void selectHighest() {
  Kernel& k = K();
  for (int p = kPriorities - 1; p >= 0; --p) {
    if (!k.ready[p].empty()) {
      k.current = k.ready[p].nextOwner();
      return;
    }
  }
  k.current = k.idle;
}

void switchContext() {
  Kernel& k = K();
  if (k.schedulerSuspended != 0) {
    k.yieldPending = true;
    return;
  }
  k.yieldPending = false;
  Tcb* before = k.current;
  selectHighest();
  if (k.current != before) ++k.switches;
}

// Makes the host threads agree with `current`: the calling host thread (running `self`)
// hands the CPU to the current task and waits until it is the current task again. While
// the idle task is current, the calling thread runs the timeline on its behalf.
void settle(Tcb* self) {
  Kernel& k = K();
  for (;;) {
    noteSchedulingPoint();
    Tcb* cur = k.current;
    if (cur == self) return;
    if (cur == k.idle || cur == nullptr) {
      idleStep(true);
      continue;
    }
    sem_post(&cur->cpu);
    sem_t* mine = self != nullptr ? &self->cpu : &mainCpu;
    while (sem_wait(mine) != 0 && errno == EINTR) {
    }
    return;
  }
}

void yieldWithinApi() {
  Kernel& k = K();
  if (k.isrDepth > 0 || !k.running) return;
  if (k.schedulerSuspended != 0) {
    k.yieldPending = true;
    return;
  }
  switchContext();
  settle(tlsSelf);
}

// Removes the running task from the ready list and puts it on the delayed list, or on the
// suspended list when it waits without limit.
void addCurrentToDelayed(TickType_t ticks, bool indefinitely) {
  Kernel& k = K();
  Tcb* t = k.current;
  ++t->epoch;
  KList::remove(&t->stateItem);
  if (ticks == portMAX_DELAY && indefinitely) {
    k.suspended.insertEnd(&t->stateItem);
    return;
  }
  t->stateItem.value = k.tick + ticks;
  k.delayed.insertSorted(&t->stateItem);
  k.nextUnblock = std::min(k.nextUnblock, t->stateItem.value);
}

// Moves the highest-priority waiter of an event list to the ready list. True when it has a
// higher priority than the running task, so the caller should switch.
bool removeFromEventList(KList& list) {
  Kernel& k = K();
  Tcb* t = list.headOwner();
  KList::remove(&t->eventItem);
  if (k.schedulerSuspended == 0) {
    KList::remove(&t->stateItem);
    addToReady(t);
  } else {
    k.pendingReady.insertEnd(&t->eventItem);
  }
  t->wait = Wait::None;
  if (k.current != nullptr && t->priority > k.current->priority) {
    k.yieldPending = true;
    return true;
  }
  return false;
}

void placeOnEventList(KList& list, TickType_t ticks, Wait why) {
  Kernel& k = K();
  Tcb* t = k.current;
  t->eventItem.value = static_cast<std::uint64_t>(kPriorities) - t->priority;
  list.insertSorted(&t->eventItem);
  t->wait = why;
  addCurrentToDelayed(ticks, true);
}

bool incrementTick() {
  Kernel& k = K();
  bool switchRequired = false;
  if (k.schedulerSuspended == 0) {
    ++k.tick;
    if (k.tick >= k.nextUnblock) {
      for (;;) {
        if (k.delayed.empty()) {
          k.nextUnblock = kNever;
          break;
        }
        ListItem* item = k.delayed.head();
        if (item->value > k.tick) {
          k.nextUnblock = item->value;
          break;
        }
        Tcb* t = item->owner;
        KList::remove(&t->stateItem);
        if (t->eventItem.container != nullptr) {
          KList::remove(&t->eventItem);
          t->timedOut = true;
        }
        t->wait = Wait::None;
        addToReady(t);
        if (k.current != nullptr && t->priority >= k.current->priority) switchRequired = true;
      }
    }
    if (k.current != nullptr && k.ready[k.current->priority].count > 1) switchRequired = true;
    if (k.pendedTicks == 0) vApplicationTickHook();
  } else {
    ++k.pendedTicks;
    vApplicationTickHook();
  }
  if (k.yieldPending) switchRequired = true;
  return switchRequired;
}

// Whether a wait that started at `entry` for `ticks` is over; else the ticks still to wait.
bool checkTimeout(std::uint64_t entry, TickType_t ticks, TickType_t& remaining) {
  if (ticks == portMAX_DELAY) {
    remaining = portMAX_DELAY;
    return false;
  }
  const std::uint64_t elapsed = K().tick - entry;
  if (elapsed >= ticks) return true;
  remaining = static_cast<TickType_t>(ticks - elapsed);
  return false;
}

void* hostEntry(void* arg) {
  auto* t = static_cast<Tcb*>(arg);
  tlsSelf = t;
  // A stack of its own for fault signals, so that even an overflowing task can be stopped.
  static thread_local std::vector<char> signalStack(64 * 1024);
  stack_t ss{};
  ss.ss_sp = signalStack.data();
  ss.ss_size = signalStack.size();
  sigaltstack(&ss, nullptr);
  simruntime::countThisThread();
  while (sem_wait(&t->cpu) != 0 && errno == EINTR) {
  }
  t->code(t->parameters);
  simk::halt("task returned");
}

void assertFailed(const char* what) { simk::halt(what); }

}  // namespace

// -----------------------------------------------------------------------------------------------
// Queues

struct QueueDefinition {
  std::uint8_t* storage = nullptr;  // in the kernel heap
  void* block = nullptr;
  UBaseType_t length = 0;
  UBaseType_t itemSize = 0;
  UBaseType_t count = 0;
  UBaseType_t readIndex = 0;   // next item to read
  UBaseType_t writeIndex = 0;  // next free slot at the back
  std::uint8_t type = queueQUEUE_TYPE_BASE;
  Tcb* holder = nullptr;  // mutexes
  UBaseType_t recursion = 0;
  KList waitingToSend;
  KList waitingToReceive;
};

namespace {

Wait waitKind(const QueueDefinition* q) {
  switch (q->type) {
    case queueQUEUE_TYPE_MUTEX:
    case queueQUEUE_TYPE_RECURSIVE_MUTEX: return Wait::Mutex;
    case queueQUEUE_TYPE_BINARY_SEMAPHORE:
    case queueQUEUE_TYPE_COUNTING_SEMAPHORE: return Wait::Semaphore;
    default: return Wait::Queue;
  }
}

bool isMutex(const QueueDefinition* q) {
  return q->type == queueQUEUE_TYPE_MUTEX || q->type == queueQUEUE_TYPE_RECURSIVE_MUTEX;
}

// Puts a task back on the ready list of its (new) priority if it is ready now.
void changePriority(Tcb* t, UBaseType_t priority) {
  Kernel& k = K();
  if (t->priority == priority) return;
  const bool wasReady = t->stateItem.container == &k.ready[t->priority];
  if (wasReady) KList::remove(&t->stateItem);
  t->priority = priority;
  if (t->eventItem.container != nullptr) {
    KList* list = t->eventItem.container;
    KList::remove(&t->eventItem);
    t->eventItem.value = static_cast<std::uint64_t>(kPriorities) - priority;
    list->insertSorted(&t->eventItem);
  }
  if (wasReady) addToReady(t);
}

// Highest priority among tasks waiting for mutexes the task holds.
UBaseType_t inheritedPriority(Tcb* holder, std::vector<QueueDefinition*>& all);

std::vector<QueueDefinition*>& allQueues() {
  static auto* v = new std::vector<QueueDefinition*>();
  return *v;
}

UBaseType_t inheritedPriority(Tcb* holder, std::vector<QueueDefinition*>& all) {
  UBaseType_t p = holder->basePriority;
  for (QueueDefinition* q : all) {
    if (isMutex(q) && q->holder == holder && !q->waitingToReceive.empty()) {
      p = std::max(p, q->waitingToReceive.headOwner()->priority);
    }
  }
  return p;
}

// Copies an item in; for a mutex, releases it. True when the release lowered the running
// task's priority, so a switch may be due.
bool copyIn(QueueDefinition* q, const void* item, BaseType_t position) {
  bool yield = false;
  if (q->itemSize == 0) {
    if (isMutex(q) && q->holder != nullptr) {
      Tcb* h = q->holder;
      if (h->mutexesHeld > 0) --h->mutexesHeld;
      q->holder = nullptr;
      const UBaseType_t p = inheritedPriority(h, allQueues());
      if (p != h->priority) {
        changePriority(h, p);
        yield = true;
      }
    }
  } else if (item == nullptr) {
    assertFailed("configAssert: no item to send");
  } else if (position == queueSEND_TO_BACK) {
    std::memcpy(q->storage + q->writeIndex * q->itemSize, item, q->itemSize);
    q->writeIndex = (q->writeIndex + 1) % q->length;
  } else if (position == queueSEND_TO_FRONT) {
    q->readIndex = (q->readIndex + q->length - 1) % q->length;
    std::memcpy(q->storage + q->readIndex * q->itemSize, item, q->itemSize);
  } else {  // overwrite: a queue of length one
    if (q->count > 0) --q->count;
    q->readIndex = 0;
    q->writeIndex = 0;
    std::memcpy(q->storage, item, q->itemSize);
    q->writeIndex = (q->length > 1) ? 1 : 0;
  }
  ++q->count;
  return yield;
}

void copyOut(QueueDefinition* q, void* buffer, bool remove) {
  if (q->itemSize != 0 && buffer != nullptr) {
    std::memcpy(buffer, q->storage + q->readIndex * q->itemSize, q->itemSize);
  }
  if (remove) {
    if (q->itemSize != 0) q->readIndex = (q->readIndex + 1) % q->length;
    --q->count;
    if (isMutex(q)) {
      // Before the scheduler runs, main holds it; main has no task of its own.
      q->holder = K().running ? K().current : nullptr;
      if (q->holder != nullptr) ++q->holder->mutexesHeld;
    }
  }
}

BaseType_t receiveImpl(QueueDefinition* q, void* buffer, TickType_t ticks, bool remove) {
  Kernel& k = K();
  if (q == nullptr) assertFailed("configAssert: no queue");
  if (k.isrDepth > 0) assertFailed("configAssert: blocking receive in an interrupt");
  bool entered = false;
  std::uint64_t entry = 0;
  for (;;) {
    if (q->count > 0) {
      copyOut(q, buffer, remove);
      if (remove && !q->waitingToSend.empty()) {
        if (removeFromEventList(q->waitingToSend)) yieldWithinApi();
      } else if (!remove && !q->waitingToReceive.empty()) {
        if (removeFromEventList(q->waitingToReceive)) yieldWithinApi();
      }
      return pdPASS;
    }
    if (ticks == 0 || !k.running || k.current == nullptr) return errQUEUE_EMPTY;
    if (!entered) {
      entered = true;
      entry = k.tick;
    }
    TickType_t remaining = 0;
    if (checkTimeout(entry, ticks, remaining)) {
      // A mutex waiter that gives up no longer lends its priority to the holder.
      if (isMutex(q) && q->holder != nullptr) {
        changePriority(q->holder, inheritedPriority(q->holder, allQueues()));
      }
      return errQUEUE_EMPTY;
    }
    if (isMutex(q) && q->holder != nullptr && q->holder->priority < k.current->priority) {
      changePriority(q->holder, k.current->priority);
    }
    k.current->timedOut = false;
    placeOnEventList(q->waitingToReceive, remaining, waitKind(q));
    yieldWithinApi();
    if (k.current->objectDeleted) {
      k.current->objectDeleted = false;
      return errQUEUE_EMPTY;
    }
  }
}

}  // namespace

extern "C" {

QueueHandle_t xQueueGenericCreate(const UBaseType_t uxQueueLength, const UBaseType_t uxItemSize,
                                  const uint8_t ucQueueType) {
  if (uxQueueLength == 0) return nullptr;
  const size_t bytes = kQueueBytes + uxQueueLength * uxItemSize;
  void* block = pvPortMalloc(bytes);
  if (block == nullptr) return nullptr;
  simruntime::HostScope host;
  auto* q = new QueueDefinition();
  q->block = block;
  q->storage = static_cast<std::uint8_t*>(block) + kQueueBytes;
  q->length = uxQueueLength;
  q->itemSize = uxItemSize;
  q->type = ucQueueType;
  allQueues().push_back(q);
  return q;
}

QueueHandle_t xQueueCreateMutex(const uint8_t ucQueueType) {
  QueueHandle_t q = xQueueGenericCreate(1, 0, ucQueueType);
  if (q != nullptr) q->count = 1;  // created available
  return q;
}

QueueHandle_t xQueueCreateCountingSemaphore(const UBaseType_t uxMaxCount,
                                            const UBaseType_t uxInitialCount) {
  if (uxMaxCount == 0 || uxInitialCount > uxMaxCount) return nullptr;
  QueueHandle_t q = xQueueGenericCreate(uxMaxCount, 0, queueQUEUE_TYPE_COUNTING_SEMAPHORE);
  if (q != nullptr) q->count = uxInitialCount;
  return q;
}

void vQueueDelete(QueueHandle_t q) {
  if (q == nullptr) return;
  // Deleting an object that tasks wait on is a fault of the caller; those tasks give up
  // instead of waiting on freed memory.
  for (KList* list : {&q->waitingToSend, &q->waitingToReceive}) {
    while (!list->empty()) {
      Tcb* t = list->headOwner();
      t->objectDeleted = true;
      removeFromEventList(*list);
    }
  }
  auto& all = allQueues();
  all.erase(std::remove(all.begin(), all.end(), q), all.end());
  vPortFree(q->block);
  delete q;
}

BaseType_t xQueueGenericSend(QueueHandle_t q, const void* const item, TickType_t ticks,
                             const BaseType_t position) {
  Kernel& k = K();
  if (k.isrDepth > 0) assertFailed("configAssert: blocking send in an interrupt");
  bool entered = false;
  std::uint64_t entry = 0;
  for (;;) {
    if (q->count < q->length || position == queueOVERWRITE) {
      if (isMutex(q) && k.running && q->holder != k.current)
        return pdFAIL;  // only the holder gives
      const bool lowered = copyIn(q, item, position);
      if (!q->waitingToReceive.empty()) {
        if (removeFromEventList(q->waitingToReceive) || lowered) yieldWithinApi();
      } else if (lowered) {
        yieldWithinApi();
      }
      return pdPASS;
    }
    if (ticks == 0 || !k.running) return errQUEUE_FULL;
    if (!entered) {
      entered = true;
      entry = k.tick;
    }
    TickType_t remaining = 0;
    if (checkTimeout(entry, ticks, remaining)) return errQUEUE_FULL;
    placeOnEventList(q->waitingToSend, remaining, waitKind(q));
    yieldWithinApi();
    if (k.current->objectDeleted) {
      k.current->objectDeleted = false;
      return errQUEUE_FULL;
    }
  }
}

BaseType_t xQueueGenericSendFromISR(QueueHandle_t q, const void* const item,
                                    BaseType_t* const woken, const BaseType_t position) {
  if (q == nullptr) assertFailed("configAssert: no queue");
  if (q->count < q->length || position == queueOVERWRITE) {
    copyIn(q, item, position);
    if (!q->waitingToReceive.empty() && removeFromEventList(q->waitingToReceive)) {
      if (woken != nullptr) *woken = pdTRUE;
    }
    return pdPASS;
  }
  return errQUEUE_FULL;
}

BaseType_t xQueueGiveFromISR(QueueHandle_t q, BaseType_t* const woken) {
  return xQueueGenericSendFromISR(q, nullptr, woken, queueSEND_TO_BACK);
}

BaseType_t xQueueReceive(QueueHandle_t q, void* const buffer, TickType_t ticks) {
  return receiveImpl(q, buffer, ticks, true);
}

BaseType_t xQueuePeek(QueueHandle_t q, void* const buffer, TickType_t ticks) {
  return receiveImpl(q, buffer, ticks, false);
}

BaseType_t xQueueSemaphoreTake(QueueHandle_t q, TickType_t ticks) {
  return receiveImpl(q, nullptr, ticks, true);
}

BaseType_t xQueueReceiveFromISR(QueueHandle_t q, void* const buffer, BaseType_t* const woken) {
  if (q == nullptr) assertFailed("configAssert: no queue");
  if (q->count == 0) return pdFAIL;
  copyOut(q, buffer, true);
  if (!q->waitingToSend.empty() && removeFromEventList(q->waitingToSend)) {
    if (woken != nullptr) *woken = pdTRUE;
  }
  return pdPASS;
}

BaseType_t xQueueTakeMutexRecursive(QueueHandle_t q, TickType_t ticks) {
  if (q->holder == K().current && q->holder != nullptr) {
    ++q->recursion;
    return pdPASS;
  }
  const BaseType_t r = receiveImpl(q, nullptr, ticks, true);
  if (r == pdPASS) q->recursion = 1;
  return r;
}

BaseType_t xQueueGiveMutexRecursive(QueueHandle_t q) {
  if (q->holder != K().current || q->holder == nullptr) return pdFAIL;
  if (--q->recursion == 0) xQueueGenericSend(q, nullptr, 0, queueSEND_TO_BACK);
  return pdPASS;
}

BaseType_t xQueueGenericReset(QueueHandle_t q, BaseType_t newQueue) {
  q->count = 0;
  q->readIndex = 0;
  q->writeIndex = 0;
  if (newQueue == pdFALSE && !q->waitingToSend.empty()) {
    if (removeFromEventList(q->waitingToSend)) yieldWithinApi();
  }
  return pdPASS;
}

UBaseType_t uxQueueMessagesWaiting(const QueueHandle_t q) { return q->count; }
UBaseType_t uxQueueSpacesAvailable(const QueueHandle_t q) { return q->length - q->count; }

// -----------------------------------------------------------------------------------------------
// Tasks

BaseType_t xTaskCreate(TaskFunction_t code, const char* const name, const uint16_t depth,
                       void* const parameters, UBaseType_t priority, TaskHandle_t* const created) {
  Kernel& k = K();
  void* stack = pvPortMalloc(static_cast<size_t>(depth) * sizeof(StackType_t));
  if (stack == nullptr) return errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY;
  void* tcbBlock = pvPortMalloc(kTcbBytes);
  if (tcbBlock == nullptr) {
    vPortFree(stack);
    return errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY;
  }
  if (priority >= static_cast<UBaseType_t>(kPriorities)) priority = kPriorities - 1;
  simruntime::HostScope host;
  auto* t = new Tcb();
  std::snprintf(t->name, sizeof t->name, "%s", name != nullptr ? name : "");
  t->priority = t->basePriority = priority;
  t->stackDepth = depth;
  t->stateItem.owner = t;
  t->eventItem.owner = t;
  t->code = code;
  t->parameters = parameters;
  t->stack = stack;
  t->tcbBlock = tcbBlock;
  sem_init(&t->cpu, 0, 0);
  k.tasks.push_back(t);
  simtrace::Event("thread").str("name", t->name).unum("prio", priority).unum("stack", depth);

  if (code != nullptr) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kHostStackBytes);
    if (pthread_create(&t->host, &attr, hostEntry, t) != 0) {
      std::fprintf(stderr, "shapeplay-sim: cannot start a host thread for task %s\n", t->name);
      simk::endRun(2, "");
    }
    pthread_attr_destroy(&attr);
  } else {
    t->idle = true;
  }
  if (created != nullptr) *created = reinterpret_cast<TaskHandle_t>(t);

  addToReady(t);
  if (!k.running) {
    if (k.current == nullptr || k.current->priority <= priority) k.current = t;
  } else if (k.current != nullptr && priority > k.current->priority) {
    yieldWithinApi();
  }
  return pdPASS;
}

void vTaskDelete(TaskHandle_t handle) {
  Kernel& k = K();
  Tcb* t = handle != nullptr ? reinterpret_cast<Tcb*>(handle) : k.current;
  if (t == k.current && tlsSelf == t) simk::halt("task deleted");
  KList::remove(&t->stateItem);
  KList::remove(&t->eventItem);
  t->halted = true;
}

void vTaskDelay(const TickType_t ticks) {
  Kernel& k = K();
  if (!k.running || k.isrDepth > 0) return;
  if (ticks > 0) {
    k.current->wait = Wait::Delay;
    addCurrentToDelayed(ticks, false);
  }
  yieldWithinApi();
}

void vTaskDelayUntil(TickType_t* const previous, const TickType_t increment) {
  Kernel& k = K();
  if (!k.running || k.isrDepth > 0) return;
  const TickType_t now = static_cast<TickType_t>(k.tick);
  const TickType_t wake = *previous + increment;
  bool delay;
  if (now < *previous) {  // the tick count wrapped since the previous wake
    delay = wake < *previous && wake > now;
  } else {
    delay = wake < *previous || wake > now;
  }
  *previous = wake;
  if (delay) {
    k.current->wait = Wait::Delay;
    addCurrentToDelayed(static_cast<TickType_t>(wake - now), false);
  }
  yieldWithinApi();
}

TickType_t xTaskGetTickCount(void) { return static_cast<TickType_t>(K().tick); }
TickType_t xTaskGetTickCountFromISR(void) { return static_cast<TickType_t>(K().tick); }

void vTaskStartScheduler(void) {
  Kernel& k = K();
  TaskHandle_t idle = nullptr;
  xTaskCreate(nullptr, "IDLE", configMINIMAL_STACK_SIZE, nullptr, tskIDLE_PRIORITY, &idle);
  k.idle = reinterpret_cast<Tcb*>(idle);
  if (k.current == nullptr) k.current = k.idle;
  k.tick = 0;
  k.nextUnblock = kNever;
#ifdef portCONFIGURE_TIMER_FOR_RUN_TIME_STATS
  portCONFIGURE_TIMER_FOR_RUN_TIME_STATS();
#endif
  k.running = true;
  settle(nullptr);
  // The main context never gets the CPU back.
  for (;;) {
    while (sem_wait(&mainCpu) != 0 && errno == EINTR) {
    }
  }
}

BaseType_t xTaskGetSchedulerState(void) {
  Kernel& k = K();
  if (!k.running) return taskSCHEDULER_NOT_STARTED;
  return k.schedulerSuspended == 0 ? taskSCHEDULER_RUNNING : taskSCHEDULER_SUSPENDED;
}

void vTaskSuspendAll(void) { ++K().schedulerSuspended; }

BaseType_t xTaskResumeAll(void) {
  Kernel& k = K();
  if (k.schedulerSuspended == 0) return pdFALSE;
  if (--k.schedulerSuspended != 0) return pdFALSE;
  while (!k.pendingReady.empty()) {
    Tcb* t = k.pendingReady.headOwner();
    KList::remove(&t->eventItem);
    KList::remove(&t->stateItem);
    addToReady(t);
    if (k.current != nullptr && t->priority >= k.current->priority) k.yieldPending = true;
  }
  while (k.pendedTicks > 0) {
    --k.pendedTicks;
    if (incrementTick()) k.yieldPending = true;
  }
  if (k.yieldPending && k.running && k.isrDepth == 0) {
    switchContext();
    settle(tlsSelf);
    return pdTRUE;
  }
  return pdFALSE;
}

TaskHandle_t xTaskGetCurrentTaskHandle(void) { return reinterpret_cast<TaskHandle_t>(K().current); }

UBaseType_t uxTaskPriorityGet(TaskHandle_t handle) {
  Tcb* t = handle != nullptr ? reinterpret_cast<Tcb*>(handle) : K().current;
  return t->basePriority;
}

void vTaskPrioritySet(TaskHandle_t handle, UBaseType_t priority) {
  Kernel& k = K();
  Tcb* t = handle != nullptr ? reinterpret_cast<Tcb*>(handle) : k.current;
  if (priority >= static_cast<UBaseType_t>(kPriorities)) priority = kPriorities - 1;
  const bool inherited = t->priority != t->basePriority;
  t->basePriority = priority;
  if (!inherited || priority > t->priority) changePriority(t, priority);
  if (!k.running) return;
  // A switch is due when another ready task now outranks the running one.
  for (int p = kPriorities - 1; p > static_cast<int>(k.current->priority); --p) {
    if (!k.ready[p].empty()) {
      yieldWithinApi();
      return;
    }
  }
  if (t == k.current) yieldWithinApi();
}

char* pcTaskGetName(TaskHandle_t handle) {
  Tcb* t = handle != nullptr ? reinterpret_cast<Tcb*>(handle) : K().current;
  return t->name;
}

void vTaskSuspend(TaskHandle_t handle) {
  Kernel& k = K();
  Tcb* t = handle != nullptr ? reinterpret_cast<Tcb*>(handle) : k.current;
  KList::remove(&t->stateItem);
  KList::remove(&t->eventItem);
  t->wait = Wait::Suspended;
  k.suspended.insertEnd(&t->stateItem);
  if (t == k.current && k.running) yieldWithinApi();
}

void vTaskResume(TaskHandle_t handle) {
  Kernel& k = K();
  Tcb* t = reinterpret_cast<Tcb*>(handle);
  if (t == nullptr || t->wait != Wait::Suspended) return;
  KList::remove(&t->stateItem);
  t->wait = Wait::None;
  addToReady(t);
  if (k.running && k.current != nullptr && t->priority >= k.current->priority) yieldWithinApi();
}

UBaseType_t uxTaskGetNumberOfTasks(void) {
  Kernel& k = K();
  UBaseType_t n = 0;
  for (Tcb* t : k.tasks) n += t->halted ? 0 : 1;
  return n;
}

// -----------------------------------------------------------------------------------------------
// Port layer

void xPortSysTickHandler(void) {
  Kernel& k = K();
  if (!k.running) return;
  if (incrementTick()) k.pendSV = true;
}

void vPortYieldFromIsr(BaseType_t switchRequired) {
  Kernel& k = K();
  if (switchRequired == pdFALSE) return;
  if (k.isrDepth > 0) {
    k.pendSV = true;
  } else {
    yieldWithinApi();
  }
}

void vPortYield(void) {
  Kernel& k = K();
  if (k.isrDepth > 0) {
    k.pendSV = true;
    return;
  }
  yieldWithinApi();
}

void vPortRaiseBasePri(void) {}
void vPortClearBasePri(void) {}
void vPortEnterCritical(void) { ++K().criticalNesting; }
void vPortExitCritical(void) {
  Kernel& k = K();
  if (k.criticalNesting > 0) --k.criticalNesting;
}

}  // extern "C"

// -----------------------------------------------------------------------------------------------
// Virtual time and the board's view of the processor

namespace simk {

Time now() { return K().now; }

void resetClock(Time start) {
  K().now = start;
  K().lastPointTime = start;
  sem_init(&mainCpu, 0, 0);
}

EventId schedule(Time t, int order, std::function<void()> fn, bool wakes) {
  simruntime::HostScope host;
  Kernel& k = K();
  if (t < k.now) t = k.now;
  const std::uint64_t seq = k.nextSeq++;
  const EventKey key{t, order, seq};
  k.timeline.emplace(key, Event{seq, std::move(fn), wakes});
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
bool schedulerRunning() { return K().running; }

const char* contextName() {
  Kernel& k = K();
  if (k.isrDepth > 0) return "interrupt";
  if (tlsSelf != nullptr) return tlsSelf->name;
  return "main";
}

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
          settle(tlsSelf);
        } else {
          k.yieldPending = true;
        }
      }
    } else {
      k.now = until;
    }
  }
}

void halt(const char* reason) {
  Kernel& k = K();
  simtrace::Event("halt").str("thread", contextName()).str("reason", reason);
  if (k.isrDepth > 0) {
    endRun(3, std::string("the board stopped inside an interrupt handler: ") + reason);
  }
  Tcb* self = tlsSelf;
  if (self == nullptr) {
    // Main before the scheduler: nothing but interrupts and board events run from now on.
    k.running = false;
    for (;;) idleStep(false);
  }
  self->halted = true;
  KList::remove(&self->stateItem);
  KList::remove(&self->eventItem);
  if (k.current == self) switchContext();
  settle(self);
  for (;;) {
    while (sem_wait(&self->cpu) != 0 && errno == EINTR) {
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

std::uint64_t contextSwitches() { return K().switches; }

std::uint64_t contextEpoch() { return tlsSelf != nullptr ? tlsSelf->epoch : 0; }

std::vector<TaskInfo> tasks() {
  Kernel& k = K();
  std::vector<TaskInfo> out;
  for (Tcb* t : k.tasks) {
    TaskInfo info;
    info.name = t->name;
    info.priority = static_cast<unsigned>(t->priority);
    info.stackWords = t->stackDepth;
    if (t->halted) {
      info.state = "halted";
    } else if (t == k.current && k.running) {
      info.state = "running";
    } else {
      switch (t->wait) {
        case Wait::None: info.state = "ready"; break;
        case Wait::Delay: info.state = "delayed"; break;
        case Wait::Queue: info.state = "queue"; break;
        case Wait::Semaphore: info.state = "semaphore"; break;
        case Wait::Mutex: info.state = "mutex"; break;
        case Wait::Suspended: info.state = "suspended"; break;
      }
    }
    out.push_back(info);
  }
  return out;
}

}  // namespace simk
