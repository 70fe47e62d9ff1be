// The C++ object wrappers of the kernel: threads, queues, semaphores, mutexes, tick hooks.
#include <cstdio>

#include "cpp_freertos/mutex.hpp"
#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/semaphore.hpp"
#include "cpp_freertos/thread.hpp"
#include "cpp_freertos/tickhook.hpp"

extern "C" void vAssertCalled(const char* file, int line);

namespace cpp_freertos {

// ---- Thread

volatile bool Thread::SchedulerActive = false;
MutexStandard Thread::StartGuardLock;

Thread::Thread(const char* name, uint16_t stackDepth, UBaseType_t priority)
    : StackDepth(stackDepth), Priority(priority) {
  std::snprintf(Name, sizeof Name, "%s", name != nullptr ? name : "Default");
}

Thread::Thread(uint16_t stackDepth, UBaseType_t priority)
    : Thread("Default", stackDepth, priority) {}

Thread::~Thread() {
  if (handle != nullptr) vTaskDelete(handle);
}

bool Thread::Start() {
  // Once the scheduler runs, two threads may start the same object at once.
  if (SchedulerActive) StartGuardLock.Lock();
  const bool already = ThreadStarted;
  ThreadStarted = true;
  if (SchedulerActive) StartGuardLock.Unlock();
  if (already) return false;
  return xTaskCreate(&Thread::TaskFunctionAdapter, Name, StackDepth, this, Priority, &handle) ==
         pdPASS;
}

void Thread::TaskFunctionAdapter(void* parameters) {
  auto* thread = static_cast<Thread*>(parameters);
  thread->Run();
  thread->Cleanup();
  vTaskDelete(thread->handle);
}

UBaseType_t Thread::GetPriority() { return uxTaskPriorityGet(handle); }
void Thread::SetPriority(UBaseType_t NewPriority) {
  Priority = NewPriority;
  if (handle != nullptr) vTaskPrioritySet(handle, NewPriority);
}
void Thread::Suspend() { vTaskSuspend(handle); }
void Thread::Resume() { vTaskResume(handle); }

void Thread::DelayUntil(const TickType_t Period) {
  if (!delayUntilInitialized) {
    delayUntilInitialized = true;
    delayUntilPreviousWakeTime = xTaskGetTickCount();
  }
  vTaskDelayUntil(&delayUntilPreviousWakeTime, Period);
}

// ---- Mutexes

Mutex::~Mutex() {
  if (handle != nullptr) vSemaphoreDelete(handle);
}

MutexStandard::MutexStandard() {
  handle = xSemaphoreCreateMutex();
  if (handle == nullptr) vAssertCalled(__FILE__, __LINE__);
}
bool MutexStandard::Lock(TickType_t Timeout) { return xSemaphoreTake(handle, Timeout) == pdTRUE; }
bool MutexStandard::Unlock() { return xSemaphoreGive(handle) == pdTRUE; }

MutexRecursive::MutexRecursive() {
  handle = xSemaphoreCreateRecursiveMutex();
  if (handle == nullptr) vAssertCalled(__FILE__, __LINE__);
}
bool MutexRecursive::Lock(TickType_t Timeout) {
  return xSemaphoreTakeRecursive(handle, Timeout) == pdTRUE;
}
bool MutexRecursive::Unlock() { return xSemaphoreGiveRecursive(handle) == pdTRUE; }

// ---- Queue

Queue::Queue(UBaseType_t maxItems, UBaseType_t itemSize) {
  handle = xQueueCreate(maxItems, itemSize);
  if (handle == nullptr) vAssertCalled(__FILE__, __LINE__);
}
Queue::~Queue() { vQueueDelete(handle); }
bool Queue::Enqueue(void* item) { return xQueueSendToBack(handle, item, portMAX_DELAY) == pdTRUE; }
bool Queue::Enqueue(void* item, TickType_t Timeout) {
  return xQueueSendToBack(handle, item, Timeout) == pdTRUE;
}
bool Queue::Dequeue(void* item, TickType_t Timeout) {
  return xQueueReceive(handle, item, Timeout) == pdTRUE;
}
bool Queue::Peek(void* item, TickType_t Timeout) {
  return xQueuePeek(handle, item, Timeout) == pdTRUE;
}
bool Queue::EnqueueFromISR(void* item, BaseType_t* woken) {
  return xQueueSendToBackFromISR(handle, item, woken) == pdTRUE;
}
bool Queue::DequeueFromISR(void* item, BaseType_t* woken) {
  return xQueueReceiveFromISR(handle, item, woken) == pdTRUE;
}
bool Queue::IsEmpty() { return uxQueueMessagesWaiting(handle) == 0; }
bool Queue::IsFull() { return uxQueueSpacesAvailable(handle) == 0; }
void Queue::Flush() { xQueueReset(handle); }
UBaseType_t Queue::NumItems() { return uxQueueMessagesWaiting(handle); }
UBaseType_t Queue::NumSpacesLeft() { return uxQueueSpacesAvailable(handle); }

// ---- Semaphores

Semaphore::~Semaphore() {
  if (handle != nullptr) vSemaphoreDelete(handle);
}
bool Semaphore::Take(TickType_t Timeout) { return xSemaphoreTake(handle, Timeout) == pdTRUE; }
bool Semaphore::TakeFromISR(BaseType_t* woken) {
  return xSemaphoreTakeFromISR(handle, woken) == pdTRUE;
}
bool Semaphore::Give() { return xSemaphoreGive(handle) == pdTRUE; }
bool Semaphore::GiveFromISR(BaseType_t* woken) {
  return xSemaphoreGiveFromISR(handle, woken) == pdTRUE;
}

BinarySemaphore::BinarySemaphore(bool set) {
  handle = xSemaphoreCreateBinary();
  if (handle == nullptr) vAssertCalled(__FILE__, __LINE__);
  if (set) xSemaphoreGive(handle);
}

CountingSemaphore::CountingSemaphore(UBaseType_t maxCount, UBaseType_t initialCount) {
  handle = xSemaphoreCreateCounting(maxCount, initialCount);
  if (handle == nullptr) vAssertCalled(__FILE__, __LINE__);
}

// ---- Tick hooks

TickHook* TickHook::first = nullptr;

TickHook::~TickHook() { Unregister(); }

void TickHook::Register() {
  if (Registered) return;
  vTaskSuspendAll();
  TickHook** link = &first;
  while (*link != nullptr) link = &(*link)->next;
  *link = this;
  next = nullptr;
  Registered = true;
  (void)xTaskResumeAll();
}

void TickHook::Unregister() {
  if (!Registered) return;
  for (TickHook** link = &first; *link != nullptr; link = &(*link)->next) {
    if (*link == this) {
      *link = next;
      break;
    }
  }
  Registered = false;
}

void TickHook::RunAll() {
  for (TickHook* h = first; h != nullptr; h = h->next) {
    if (h->Enabled) h->Run();
  }
}

}  // namespace cpp_freertos

extern "C" void vApplicationTickHook(void) { cpp_freertos::TickHook::RunAll(); }
