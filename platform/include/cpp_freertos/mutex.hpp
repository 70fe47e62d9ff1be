/* C++ wrappers of RTOS mutexes and a scoped lock. */
#ifndef CPP_FREERTOS_MUTEX_HPP_
#define CPP_FREERTOS_MUTEX_HPP_

#include "FreeRTOS.h"
#include "semphr.h"

namespace cpp_freertos {

class Mutex {
 public:
  virtual bool Lock(TickType_t Timeout = portMAX_DELAY) = 0;
  virtual bool Unlock() = 0;
  virtual ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

 protected:
  Mutex() = default;
  SemaphoreHandle_t handle = nullptr;
};

class MutexStandard : public Mutex {
 public:
  MutexStandard();
  bool Lock(TickType_t Timeout = portMAX_DELAY) override;
  bool Unlock() override;
};

class MutexRecursive : public Mutex {
 public:
  MutexRecursive();
  bool Lock(TickType_t Timeout = portMAX_DELAY) override;
  bool Unlock() override;
};

/* Holds a mutex for the lifetime of the guard. */
class LockGuard {
 public:
  explicit LockGuard(Mutex& m) : mutex(m) { mutex.Lock(); }
  ~LockGuard() { mutex.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Mutex& mutex;
};

}  // namespace cpp_freertos

#endif
