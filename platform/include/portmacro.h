/* Port layer of the simulated Cortex-M7: types and the few port macros the application uses. */
#ifndef PORTMACRO_H
#define PORTMACRO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t StackType_t;
typedef long BaseType_t;
typedef unsigned long UBaseType_t;
typedef uint32_t TickType_t;
#define portMAX_DELAY ((TickType_t)0xffffffffUL)
#define portTICK_PERIOD_MS ((TickType_t)1000 / configTICK_RATE_HZ)
#define portBYTE_ALIGNMENT 8
#define portSTACK_GROWTH (-1)

void vPortYieldFromIsr(BaseType_t xSwitchRequired);
void vPortRaiseBasePri(void);
void vPortClearBasePri(void);
void vPortEnterCritical(void);
void vPortExitCritical(void);
void vPortYield(void);

#define portYIELD() vPortYield()
#define portYIELD_FROM_ISR(x) vPortYieldFromIsr((BaseType_t)(x))
#define portEND_SWITCHING_ISR(x) vPortYieldFromIsr((BaseType_t)(x))
#define portDISABLE_INTERRUPTS() vPortRaiseBasePri()
#define portENABLE_INTERRUPTS() vPortClearBasePri()
#define portENTER_CRITICAL() vPortEnterCritical()
#define portEXIT_CRITICAL() vPortExitCritical()
#define portSET_INTERRUPT_MASK_FROM_ISR() 0
#define portCLEAR_INTERRUPT_MASK_FROM_ISR(x) ((void)(x))

/* Tick interrupt of the port: the application's timer interrupt calls it. */
void xPortSysTickHandler(void);

#ifdef __cplusplus
}
#endif

#endif
