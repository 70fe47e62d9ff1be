#include "led.h"

Led::Led() : Thread("LedThread", 4096, 6) {}

void Led::Run() {
  for (;;) {
    (void)continueThread->Take(200);
  }
}
