/* Kernel configuration of the player: pre-emptive with time slicing, seven priorities,
 * a 2 ms tick from TIM6, 1 MiB of heap in SDRAM. */
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
