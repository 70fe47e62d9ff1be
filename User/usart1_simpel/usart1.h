// The debug console on USART1: 256000 baud, 8N1, output only.
//
// Printing never waits for the line: each thread's text is gathered up to its line end and the
// whole line goes into a queue in the SDRAM, which the transmit interrupt sends; a full queue
// makes the printing thread wait for room, it never drops. So no line is lost when two threads
// print at once and no line is mixed with another, and the console's 39 us a byte (a long
// settings dump takes seconds) is not spent by the threads that print.
#pragma once

#include "FreeRTOS.h"
#include "stm32f7xx_hal.h"

class Usart1 {
 public:
  // Sets up the port; a port that cannot be set up stops here for good.
  static void initUsart();
  // Whether console output may be sent; set once by main after initUsart.
  static bool initialized;
  static UART_HandleTypeDef huart;

  // Queues every unfinished line (of any thread) and waits until the line has sent all that
  // is queued, at most `maxTicks`: before the power is cut. From a thread while the scheduler
  // runs. False when the time ran out first.
  static bool flush(TickType_t maxTicks = portMAX_DELAY);
  // For the fault handlers, which stop the processor for good: sends what is queued, and from
  // now on every byte at once, by polling the line (no interrupt runs any more).
  static void flushPolled();
};
