/* C++ wrappers of RTOS semaphores. */
#ifndef CPP_FREERTOS_SEMAPHORE_HPP_
#define CPP_FREERTOS_SEMAPHORE_HPP_

#include "FreeRTOS.h"
#include "semphr.h"

namespace cpp_freertos {

class Semaphore {
 public:
  bool Take(TickType_t Timeout = portMAX_DELAY);
  bool TakeFromISR(BaseType_t* pxHigherPriorityTaskWoken);
  bool Give();
  bool GiveFromISR(BaseType_t* pxHigherPriorityTaskWoken);
  virtual ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

 protected:
  Semaphore() = default;
  SemaphoreHandle_t handle = nullptr;
};

class BinarySemaphore : public Semaphore {
 public:
  /* Created taken unless set is true. A semaphore that cannot be created is a kernel assertion. */
  explicit BinarySemaphore(bool set = false);
};

class CountingSemaphore : public Semaphore {
 public:
  CountingSemaphore(UBaseType_t maxCount, UBaseType_t initialCount);
};

}  // namespace cpp_freertos

#endif
