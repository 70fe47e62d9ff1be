// Memory hooks of the runtime library: operator new and delete on the runtime heap, the
// heap's lock, its break, and the endless loops of the language runtime's failure paths.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

#include "FreeRTOS.h"
#include "stm32f7xx.h"
#include "task.h"

void* operator new(std::size_t size) { return std::malloc(size); }
void* operator new[](std::size_t size) { return std::malloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

struct _reent;

extern "C" {

// The runtime heap is used from several threads (strings, the decoder and its library):
// malloc and free hold the scheduler while they work. Suspension nests, so the library may
// take the lock recursively, and it costs nothing when only one thread runs.
void __malloc_lock(struct _reent*) {
  if (xTaskGetSchedulerState() != taskSCHEDULER_NOT_STARTED) vTaskSuspendAll();
}

void __malloc_unlock(struct _reent*) {
  if (xTaskGetSchedulerState() != taskSCHEDULER_NOT_STARTED) (void)xTaskResumeAll();
}

// The heap grows upward from the end of the static data and never above the stack of the
// caller.
extern char end;
void* _sbrk(std::ptrdiff_t increment) {
  static char* heapEnd = nullptr;
  if (heapEnd == nullptr) heapEnd = &end;
  char stackMarker = 0;
  char* const previous = heapEnd;
  if (heapEnd + increment > &stackMarker) {
    errno = ENOMEM;
    return reinterpret_cast<void*>(-1);
  }
  heapEnd += increment;
  return previous;
}

void __cxa_pure_virtual() {
  for (;;) __WFI();
}

}  // extern "C"

namespace {
[[noreturn]] void terminateHandler() {
  for (;;) __WFI();
}
struct InstallTerminate {
  InstallTerminate() { std::set_terminate(terminateHandler); }
} installTerminate;
}  // namespace
