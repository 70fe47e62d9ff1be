// The debug console on USART1: 256000 baud, 8N1, output only.
#pragma once

#include "stm32f7xx_hal.h"

class Usart1 {
 public:
  // Sets up the port; a port that cannot be set up stops here for good.
  static void initUsart();
  // Whether console output may be sent; set once by main after initUsart.
  static bool initialized;
  static UART_HandleTypeDef huart;
};
