// The firmware's clock tree on a board without the firmware's start-up.
#pragma once

#include "stm32f7xx_hal.h"

namespace boardtest {

// The firmware's clock tree: 200 MHz, APB1 at 50 MHz, APB2 at 100 MHz (timers at 100 MHz).
inline void firmwareClocks() {
  RCC_OscInitTypeDef osc = {};
  osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
  osc.HSEState = RCC_HSE_ON;
  osc.PLL.PLLState = RCC_PLL_ON;
  osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
  osc.PLL.PLLM = 25;
  osc.PLL.PLLN = 400;
  osc.PLL.PLLP = RCC_PLLP_DIV2;
  osc.PLL.PLLQ = 8;
  (void)HAL_RCC_OscConfig(&osc);
  (void)HAL_PWREx_EnableOverDrive();
  RCC_ClkInitTypeDef clk = {};
  clk.ClockType =
      RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
  clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
  clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
  clk.APB1CLKDivider = RCC_HCLK_DIV4;
  clk.APB2CLKDivider = RCC_HCLK_DIV2;
  (void)HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_6);
}

}  // namespace boardtest
