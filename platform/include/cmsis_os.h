/* CMSIS-RTOS v1 layer over the RTOS kernel: the subset the application uses. */
#ifndef CMSIS_OS_H_
#define CMSIS_OS_H_

#include <stdint.h>

#include "FreeRTOS.h"
#include "queue.h"
#include "task.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  osPriorityIdle = -3,
  osPriorityLow = -2,
  osPriorityBelowNormal = -1,
  osPriorityNormal = 0,
  osPriorityAboveNormal = +1,
  osPriorityHigh = +2,
  osPriorityRealtime = +3,
  osPriorityError = 0x84
} osPriority;

#define osWaitForever 0xFFFFFFFFU

typedef enum {
  osOK = 0,
  osEventSignal = 0x08,
  osEventMessage = 0x10,
  osEventMail = 0x20,
  osEventTimeout = 0x40,
  osErrorParameter = 0x80,
  osErrorResource = 0x81,
  osErrorTimeoutResource = 0xC1,
  osErrorISR = 0x82,
  osErrorISRRecursive = 0x83,
  osErrorPriority = 0x84,
  osErrorNoMemory = 0x85,
  osErrorValue = 0x86,
  osErrorOS = 0xFF,
  os_status_reserved = 0x7FFFFFFF
} osStatus;

typedef void (*os_pthread)(void const* argument);
typedef TaskHandle_t osThreadId;
typedef QueueHandle_t osMessageQId;

typedef struct os_thread_def {
  const char* name;
  os_pthread pthread;
  osPriority tpriority;
  uint32_t instances;
  uint32_t stacksize;
} osThreadDef_t;

typedef struct os_messageQ_def {
  uint32_t queue_sz;
  uint32_t item_sz;
} osMessageQDef_t;

typedef struct {
  osStatus status;
  union {
    uint32_t v;
    void* p;
    int32_t signals;
  } value;
  union {
    osMessageQId message_id;
  } def;
} osEvent;

#define osThreadDef(name, thread, priority, instances, stacksz) \
  const osThreadDef_t os_thread_def_##name = {#name, (thread), (priority), (instances), (stacksz)}
#define osThread(name) &os_thread_def_##name

#define osMessageQDef(name, queue_sz, type) \
  const osMessageQDef_t os_messageQ_def_##name = {(queue_sz), sizeof(type)}
#define osMessageQ(name) &os_messageQ_def_##name

osStatus osKernelStart(void);
int32_t osKernelRunning(void);
osThreadId osThreadCreate(const osThreadDef_t* thread_def, void* argument);
osThreadId osThreadGetId(void);
osStatus osDelay(uint32_t millisec);
osMessageQId osMessageCreate(const osMessageQDef_t* queue_def, osThreadId thread_id);
osStatus osMessagePut(osMessageQId queue_id, uint32_t info, uint32_t millisec);
osEvent osMessageGet(osMessageQId queue_id, uint32_t millisec);

#ifdef __cplusplus
}
#endif

#endif
