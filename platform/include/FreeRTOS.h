/* RTOS kernel: base header. The application configures the kernel in FreeRTOSConfig.h. */
#ifndef INC_FREERTOS_H
#define INC_FREERTOS_H

#include <stddef.h>
#include <stdint.h>

#include "FreeRTOSConfig.h"
#include "portmacro.h"
#include "projdefs.h"

#ifndef configASSERT
#define configASSERT(x)
#endif

#ifdef __cplusplus
extern "C" {
#endif

void* pvPortMalloc(size_t xSize);
void vPortFree(void* pv);
size_t xPortGetFreeHeapSize(void);
size_t xPortGetMinimumEverFreeHeapSize(void);

#ifdef __cplusplus
}
#endif

#define taskENTER_CRITICAL() portENTER_CRITICAL()
#define taskEXIT_CRITICAL() portEXIT_CRITICAL()
#define taskDISABLE_INTERRUPTS() portDISABLE_INTERRUPTS()
#define taskENABLE_INTERRUPTS() portENABLE_INTERRUPTS()

#endif
