/* RTOS kernel: semaphores and mutexes, built on queues. */
#ifndef SEMAPHORE_H
#define SEMAPHORE_H

#include "queue.h"

typedef QueueHandle_t SemaphoreHandle_t;

#define semGIVE_BLOCK_TIME ((TickType_t)0U)

#define xSemaphoreCreateBinary() \
  xQueueGenericCreate((UBaseType_t)1, (UBaseType_t)0, queueQUEUE_TYPE_BINARY_SEMAPHORE)
#define xSemaphoreCreateMutex() xQueueCreateMutex(queueQUEUE_TYPE_MUTEX)
#define xSemaphoreCreateRecursiveMutex() xQueueCreateMutex(queueQUEUE_TYPE_RECURSIVE_MUTEX)
#define xSemaphoreCreateCounting(uxMaxCount, uxInitialCount) \
  xQueueCreateCountingSemaphore((uxMaxCount), (uxInitialCount))
#define xSemaphoreTake(xSemaphore, xBlockTime) xQueueSemaphoreTake((xSemaphore), (xBlockTime))
#define xSemaphoreGive(xSemaphore) \
  xQueueGenericSend((QueueHandle_t)(xSemaphore), NULL, semGIVE_BLOCK_TIME, queueSEND_TO_BACK)
#define xSemaphoreGiveFromISR(xSemaphore, pxHigherPriorityTaskWoken) \
  xQueueGiveFromISR((QueueHandle_t)(xSemaphore), (pxHigherPriorityTaskWoken))
#define xSemaphoreTakeFromISR(xSemaphore, pxHigherPriorityTaskWoken) \
  xQueueReceiveFromISR((QueueHandle_t)(xSemaphore), NULL, (pxHigherPriorityTaskWoken))
#define xSemaphoreTakeRecursive(xMutex, xBlockTime) xQueueTakeMutexRecursive((xMutex), (xBlockTime))
#define xSemaphoreGiveRecursive(xMutex) xQueueGiveMutexRecursive((xMutex))
#define vSemaphoreDelete(xSemaphore) vQueueDelete((QueueHandle_t)(xSemaphore))
#define uxSemaphoreGetCount(xSemaphore) uxQueueMessagesWaiting((QueueHandle_t)(xSemaphore))

#endif
