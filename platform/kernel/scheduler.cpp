// The scheduler and the tasks, following the documented rules of the real kernel: fixed
// priorities 0..6 with pre-emption, ready lists walked round robin (a task made ready goes to
// the end of its list; the tick rotates tasks of equal priority), event lists ordered by
// priority and FIFO among equals, delayed tasks woken by the tick, deferred switches while the
// scheduler is suspended and a switch pended from interrupts by portYIELD_FROM_ISR.
//
// Simplifications: interrupts run only at scheduling points and during busy waits, so
// critical sections and the interrupt mask have nothing to protect and are only counted.
#include <algorithm>
#include <cstdio>
#include <string>

#include "kernel_state.h"
#include "runtime_heap.h"
#include "trace.h"

extern "C" void vApplicationTickHook(void);

namespace simk::detail {

void addToReady(Tcb* t) { K().ready[t->priority].insertEnd(&t->stateItem); }

namespace {

// The highest-priority ready task becomes current; the idle task when none is ready.
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

}  // namespace

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

void settle(Tcb* me) {
  Kernel& k = K();
  for (;;) {
    noteSchedulingPoint();
    Tcb* cur = k.current;
    if (cur == me) return;
    if (cur == k.idle || cur == nullptr) {
      idleStep(true);
      continue;
    }
    handover::pass(me != nullptr ? me->context : nullptr, cur->context);
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
  settle(self());
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

void assertFailed(const char* what) { simk::halt(what); }

namespace {

// A task's context runs its code; a task that returns stops for good.
void taskBody(void* owner) {
  Tcb* t = static_cast<Tcb*>(owner);
  t->code(t->parameters);
  simk::halt("task returned");
}

}  // namespace

}  // namespace simk::detail

using namespace simk::detail;

extern "C" {

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
  k.tasks.push_back(t);
  simtrace::Event("thread").str("name", t->name).unum("prio", priority).unum("stack", depth);

  if (code != nullptr) {
    t->context = simk::handover::create(t, &taskBody);
    if (t->context == nullptr) {
      std::fprintf(stderr, "shapeplay-sim: cannot start a host thread for task %s\n", t->name);
      simk::endRun(2, "");
    }
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
  if (t == k.current && self() == t) simk::halt("task deleted");
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
  simk::handover::stay(nullptr);
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
    settle(self());
    return pdTRUE;
  }
  return pdFALSE;
}

TaskHandle_t xTaskGetCurrentTaskHandle(void) { return reinterpret_cast<TaskHandle_t>(K().current); }

// A halted task spins in its endless loop on the board: it counts as ready.
eTaskState eTaskGetState(TaskHandle_t handle) {
  Kernel& k = K();
  const Tcb* t = reinterpret_cast<const Tcb*>(handle);
  if (t == nullptr) return eInvalid;
  if (t == k.current && k.running) return eRunning;
  if (t->halted) return eReady;
  switch (t->wait) {
    case Wait::None: return eReady;
    case Wait::Suspended: return eSuspended;
    default: return eBlocked;
  }
}

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

}  // extern "C"

namespace simk {

using namespace detail;

bool schedulerRunning() { return K().running; }

const char* contextName() {
  Kernel& k = K();
  if (k.isrDepth > 0) return "interrupt";
  if (Tcb* me = self()) return me->name;
  return "main";
}

void halt(const char* reason) {
  Kernel& k = K();
  simtrace::Event("halt").str("thread", contextName()).str("reason", reason);
  if (k.isrDepth > 0) {
    endRun(3, std::string("the board stopped inside an interrupt handler: ") + reason);
  }
  Tcb* me = self();
  if (me == nullptr) {
    // Main before the scheduler: nothing but interrupts and board events run from now on.
    k.running = false;
    for (;;) idleStep(false);
  }
  me->halted = true;
  KList::remove(&me->stateItem);
  KList::remove(&me->eventItem);
  if (k.current == me) switchContext();
  settle(me);
  handover::stay(me->context);
}

std::uint64_t contextSwitches() { return K().switches; }

std::uint64_t contextEpoch() {
  const Tcb* me = self();
  return me != nullptr ? me->epoch : 0;
}

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
