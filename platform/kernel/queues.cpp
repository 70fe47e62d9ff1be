// Queues, and the semaphores and mutexes built on them, as the real kernel has them: a copy of
// each item in the queue's own storage (from the kernel heap), senders and receivers waiting
// in priority order (FIFO among equals) with their time-outs, mutexes that lend the priority
// of their highest waiter to their holder (and take it back when the waiter gives up or the
// mutex is given), recursive mutexes, counting semaphores. Deleting a queue that tasks wait on
// wakes them with a failure instead of leaving them on freed memory.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kernel_state.h"
#include "queue.h"
#include "runtime_heap.h"
#include "semphr.h"

using namespace simk::detail;

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

}  // extern "C"
