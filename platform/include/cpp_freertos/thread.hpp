/* C++ wrapper of an RTOS task: derive, override Run(), call Start(). */
#ifndef CPP_FREERTOS_THREAD_HPP_
#define CPP_FREERTOS_THREAD_HPP_

#include "FreeRTOS.h"
#include "mutex.hpp"
#include "task.h"

namespace cpp_freertos {

class Thread {
 public:
  Thread(const char* Name, uint16_t StackDepth, UBaseType_t Priority);
  Thread(uint16_t StackDepth, UBaseType_t Priority);
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  /* Creates the kernel task; false when it was started before or the task could not be made. */
  bool Start();

  TaskHandle_t GetHandle() { return handle; }
  const char* GetName() const { return Name; }
  UBaseType_t GetPriority();
  void SetPriority(UBaseType_t NewPriority);
  void Suspend();
  void Resume();

  static void Yield() { taskYIELD(); }
  static void StartScheduler() {
    SchedulerActive = true;
    vTaskStartScheduler();
  }

  /* Set once the scheduler runs: from then on Start() takes the start guard. */
  static volatile bool SchedulerActive;

 protected:
  virtual void Run() = 0;
  virtual void Cleanup() {}

  static void Delay(const TickType_t Ticks) { vTaskDelay(Ticks); }
  /* Sleeps until Period ticks after the previous wake-up (the first call starts the count now). */
  void DelayUntil(const TickType_t Period);
  void ResetDelayUntil() { delayUntilInitialized = false; }

 private:
  static void TaskFunctionAdapter(void* pvParameters);

  TaskHandle_t handle = nullptr;
  char Name[configMAX_TASK_NAME_LEN];
  uint16_t StackDepth;
  UBaseType_t Priority;
  bool ThreadStarted = false;
  bool delayUntilInitialized = false;
  TickType_t delayUntilPreviousWakeTime = 0;

  static MutexStandard StartGuardLock;
};

}  // namespace cpp_freertos

#endif
