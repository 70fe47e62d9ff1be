/* Kernel configuration of the player: pre-emptive with time slicing, seven priorities,
 * a 2 ms tick from TIM6, 1 MiB of heap in SDRAM. Read by the kernel (FreeRTOS V10 with its
 * Cortex-M7 port) and by the CMSIS-RTOS layer; everything either reads without a default of
 * its own is set here. */
#ifndef FREERTOS_CONFIG_H
#define FREERTOS_CONFIG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
void vAssertCalled(const char* file, int line);
void configureTimerForRunTimeStats(void);
unsigned long getRunTimeCounterValue(void);
#ifdef __cplusplus
}
#endif

#define configUSE_PREEMPTION 1
#define configUSE_TIME_SLICING 1
#define configCPU_CLOCK_HZ (200000000UL)
#define configTICK_RATE_HZ ((TickType_t)500)
#define configMAX_PRIORITIES (7)
#define configMINIMAL_STACK_SIZE ((uint16_t)128)
#define configTOTAL_HEAP_SIZE ((size_t)(1024 * 1024))
#define configMAX_TASK_NAME_LEN (32)
#define configUSE_16_BIT_TICKS 0
#define configUSE_CO_ROUTINES 0
#define configMAX_CO_ROUTINE_PRIORITIES 2
#define configQUEUE_REGISTRY_SIZE 0
#define configSUPPORT_DYNAMIC_ALLOCATION 1
#define configSUPPORT_STATIC_ALLOCATION 0
/* The heap's array is the application's own, ucHeap, placed in the external SDRAM. */
#define configAPPLICATION_ALLOCATED_HEAP 1
#define configUSE_MUTEXES 1
#define configUSE_RECURSIVE_MUTEXES 1
#define configUSE_COUNTING_SEMAPHORES 1
#define configUSE_TICK_HOOK 1
#define configUSE_IDLE_HOOK 0
#define configCHECK_FOR_STACK_OVERFLOW 0
#define configUSE_MALLOC_FAILED_HOOK 0
#define configUSE_TIMERS 0
#define configGENERATE_RUN_TIME_STATS 1
#define portCONFIGURE_TIMER_FOR_RUN_TIME_STATS configureTimerForRunTimeStats
#define portGET_RUN_TIME_COUNTER_VALUE getRunTimeCounterValue

/* Kernel functions the application and the kernel's wrappers call (osDelay and
 * Thread::Delay: vTaskDelay; Thread::DelayUntil: vTaskDelayUntil; a thread object's end:
 * vTaskDelete; the TIM6 tick and the heap lock: xTaskGetSchedulerState). vTaskSuspend also
 * makes a wait of portMAX_DELAY (osWaitForever, a queue wait without limit) wait for ever
 * instead of timing out after 2^32 - 1 ticks. */
#define INCLUDE_vTaskDelay 1
#define INCLUDE_vTaskDelayUntil 1
#define INCLUDE_vTaskDelete 1
#define INCLUDE_xTaskGetSchedulerState 1
#define INCLUDE_vTaskSuspend 1
#define INCLUDE_vTaskPrioritySet 0
#define INCLUDE_uxTaskPriorityGet 0
#define INCLUDE_vTaskCleanUpResources 0
#define INCLUDE_uxTaskGetStackHighWaterMark 0
#define INCLUDE_xTaskGetCurrentTaskHandle 1
#define INCLUDE_eTaskGetState 1

/* The kernel tick is TIM6's update interrupt, which calls xPortSysTickHandler (see
 * FreeRtosTimebase.cpp); SysTick stays with the chip support library's millisecond counter.
 * So the port must not program SysTick: the application's vPortSetupTimerInterrupt takes the
 * place of the port's, and SysTick_Handler is not the port's handler. */
#define configOVERRIDE_DEFAULT_TICK_CONFIGURATION 1
#define vPortSVCHandler SVC_Handler
#define xPortPendSVHandler PendSV_Handler

/* Interrupt priorities: 4 bits; handlers that call the kernel must have a priority number of
 * at least configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY. */
#define configPRIO_BITS 4
#define configLIBRARY_LOWEST_INTERRUPT_PRIORITY 15
#define configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY 4
#define configKERNEL_INTERRUPT_PRIORITY \
  (configLIBRARY_LOWEST_INTERRUPT_PRIORITY << (8 - configPRIO_BITS))
#define configMAX_SYSCALL_INTERRUPT_PRIORITY \
  (configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY << (8 - configPRIO_BITS))

#define configASSERT(x)                  \
  do {                                   \
    if ((x) == 0) {                      \
      vAssertCalled(__FILE__, __LINE__); \
    }                                    \
  } while (0)

#endif
