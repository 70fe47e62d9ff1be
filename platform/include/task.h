/* RTOS kernel: tasks and the scheduler. */
#ifndef INC_TASK_H
#define INC_TASK_H

#include "FreeRTOS.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tskTaskControlBlock* TaskHandle_t;

typedef enum { eRunning = 0, eReady, eBlocked, eSuspended, eDeleted, eInvalid } eTaskState;

#define tskIDLE_PRIORITY ((UBaseType_t)0U)
#define taskSCHEDULER_SUSPENDED ((BaseType_t)0)
#define taskSCHEDULER_NOT_STARTED ((BaseType_t)1)
#define taskSCHEDULER_RUNNING ((BaseType_t)2)
#define taskYIELD() portYIELD()

BaseType_t xTaskCreate(TaskFunction_t pxTaskCode, const char* const pcName,
                       const uint16_t usStackDepth, void* const pvParameters,
                       UBaseType_t uxPriority, TaskHandle_t* const pxCreatedTask);
void vTaskDelete(TaskHandle_t xTaskToDelete);
void vTaskDelay(const TickType_t xTicksToDelay);
void vTaskDelayUntil(TickType_t* const pxPreviousWakeTime, const TickType_t xTimeIncrement);
TickType_t xTaskGetTickCount(void);
TickType_t xTaskGetTickCountFromISR(void);
void vTaskStartScheduler(void);
BaseType_t xTaskGetSchedulerState(void);
void vTaskSuspendAll(void);
BaseType_t xTaskResumeAll(void);
TaskHandle_t xTaskGetCurrentTaskHandle(void);
eTaskState eTaskGetState(TaskHandle_t xTask);
UBaseType_t uxTaskPriorityGet(TaskHandle_t xTask);
void vTaskPrioritySet(TaskHandle_t xTask, UBaseType_t uxNewPriority);
char* pcTaskGetName(TaskHandle_t xTaskToQuery);
void vTaskSuspend(TaskHandle_t xTaskToSuspend);
void vTaskResume(TaskHandle_t xTaskToResume);
UBaseType_t uxTaskGetNumberOfTasks(void);

#ifdef __cplusplus
}
#endif

#endif
