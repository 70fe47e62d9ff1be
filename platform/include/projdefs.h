/* Kernel-wide constants shared by the RTOS headers. */
#ifndef PROJDEFS_H
#define PROJDEFS_H

typedef void (*TaskFunction_t)(void*);

#define pdMS_TO_TICKS(xTimeInMs) \
  ((TickType_t)(((TickType_t)(xTimeInMs) * (TickType_t)configTICK_RATE_HZ) / (TickType_t)1000U))

#define pdFALSE ((BaseType_t)0)
#define pdTRUE ((BaseType_t)1)
#define pdPASS (pdTRUE)
#define pdFAIL (pdFALSE)
#define errQUEUE_EMPTY ((BaseType_t)0)
#define errQUEUE_FULL ((BaseType_t)0)
#define errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY (-1)

#endif
