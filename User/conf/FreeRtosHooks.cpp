// The kernel's heap area, and its assertion: interrupts masked, "configAssert" on the
// console, nothing more.
#include <cstdio>

#include "FreeRTOS.h"
#include "board_memory.h"
#include "stm32f7xx.h"
#include "usart1.h"

// The kernel heap: the kernel allocates from the application's array, in the external SDRAM.
extern "C" {
SDRAM_DATA alignas(portBYTE_ALIGNMENT) uint8_t ucHeap[configTOTAL_HEAP_SIZE];
}

extern "C" void vAssertCalled(const char* file, int line) {
  (void)file;
  (void)line;
  taskDISABLE_INTERRUPTS();
  // With interrupts masked the console sends by polling.
  Usart1::flushPolled();
  for (;;) {
    printf("configAssert\r");
    __WFI();
  }
}
