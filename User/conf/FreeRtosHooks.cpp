// The kernel's assertion: interrupts masked, "configAssert" on the console, nothing more.
#include <cstdio>

#include "FreeRTOS.h"
#include "stm32f7xx.h"

extern "C" void vAssertCalled(const char* file, int line) {
  (void)file;
  (void)line;
  taskDISABLE_INTERRUPTS();
  for (;;) {
    printf("configAssert\r");
    __WFI();
  }
}
