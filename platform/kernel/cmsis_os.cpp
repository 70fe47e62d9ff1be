// CMSIS-RTOS v1 layer over the kernel: priorities map to kernel priority osPriority + 3,
// milliseconds become kernel ticks (at least one tick for a non-zero or zero put time-out).
#include "cmsis_os.h"

#include "runtime_heap.h"
#include "simkernel.h"

namespace {

UBaseType_t kernelPriority(osPriority p) {
  if (p == osPriorityError) return tskIDLE_PRIORITY;
  return static_cast<UBaseType_t>(static_cast<int>(p) - static_cast<int>(osPriorityIdle));
}

TickType_t toTicks(uint32_t millisec) {
  if (millisec == osWaitForever) return portMAX_DELAY;
  return millisec / portTICK_PERIOD_MS;
}

}  // namespace

namespace {

struct ThreadStart {
  os_pthread body;
  void* argument;
};

void runThread(void* start) {
  const auto* s = static_cast<const ThreadStart*>(start);
  s->body(s->argument);
}

}  // namespace

extern "C" {

osStatus osKernelStart(void) {
  vTaskStartScheduler();
  return osOK;
}

int32_t osKernelRunning(void) {
  return xTaskGetSchedulerState() == taskSCHEDULER_NOT_STARTED ? 0 : 1;
}

osThreadId osThreadCreate(const osThreadDef_t* def, void* argument) {
  TaskHandle_t handle = nullptr;
  // The thread body takes a pointer to const: the task calls it with its own type, through
  // runThread, and passes the argument unchanged.
  ThreadStart* start = nullptr;
  {
    simruntime::HostScope host;  // the board's bookkeeping, not the firmware's heap
    start = new ThreadStart{def->pthread, argument};
  }
  if (xTaskCreate(&runThread, def->name, static_cast<uint16_t>(def->stacksize), start,
                  kernelPriority(def->tpriority), &handle) != pdPASS) {
    simruntime::HostScope host;
    delete start;
    return nullptr;
  }
  return handle;
}

osThreadId osThreadGetId(void) { return xTaskGetCurrentTaskHandle(); }

osStatus osDelay(uint32_t millisec) {
  const TickType_t ticks = millisec / portTICK_PERIOD_MS;
  vTaskDelay(ticks != 0 ? ticks : 1);
  return osOK;
}

osMessageQId osMessageCreate(const osMessageQDef_t* def, osThreadId) {
  return xQueueCreate(def->queue_sz, def->item_sz);
}

osStatus osMessagePut(osMessageQId queue, uint32_t info, uint32_t millisec) {
  if (simk::inInterrupt()) {
    BaseType_t woken = pdFALSE;
    if (xQueueSendFromISR(queue, &info, &woken) != pdTRUE) return osErrorOS;
    portEND_SWITCHING_ISR(woken);
    return osOK;
  }
  TickType_t ticks = toTicks(millisec);
  if (ticks == 0) ticks = 1;
  if (xQueueSend(queue, &info, ticks) != pdTRUE) return osErrorOS;
  return osOK;
}

osEvent osMessageGet(osMessageQId queue, uint32_t millisec) {
  osEvent event;
  event.def.message_id = queue;
  event.value.v = 0;
  if (queue == nullptr) {
    event.status = osErrorParameter;
    return event;
  }
  if (simk::inInterrupt()) {
    BaseType_t woken = pdFALSE;
    if (xQueueReceiveFromISR(queue, &event.value.v, &woken) == pdTRUE) {
      event.status = osEventMessage;
    } else {
      event.status = osOK;
    }
    portEND_SWITCHING_ISR(woken);
    return event;
  }
  TickType_t ticks = 0;
  if (millisec != 0) {
    ticks = toTicks(millisec);
    if (ticks == 0) ticks = 1;
  }
  if (xQueueReceive(queue, &event.value.v, ticks) == pdTRUE) {
    event.status = osEventMessage;
  } else {
    event.status = millisec == 0 ? osOK : osEventTimeout;
  }
  return event;
}

}  // extern "C"
