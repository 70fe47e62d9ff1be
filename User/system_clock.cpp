// The chip's clock tree, as the player runs it.
#include "system_clock.h"

#include "main.h"
#include "stm32f7xx_hal.h"

// 25 MHz crystal, main PLL M 25, N 400, P 2, Q 8: 200 MHz with over-drive; AHB /1, APB1 /4,
// APB2 /2, six flash wait states; 48 MHz for USB from the SAI PLL (N 192, P /4).
void SystemClock_Config(void) {
  RCC_OscInitTypeDef osc = {};
  osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
  osc.HSEState = RCC_HSE_ON;
  osc.PLL.PLLState = RCC_PLL_ON;
  osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
  osc.PLL.PLLM = 25;
  osc.PLL.PLLN = 400;
  osc.PLL.PLLP = RCC_PLLP_DIV2;
  osc.PLL.PLLQ = 8;
  if (HAL_RCC_OscConfig(&osc) != HAL_OK) Error_Handler();
  if (HAL_PWREx_EnableOverDrive() != HAL_OK) Error_Handler();

  RCC_ClkInitTypeDef clk = {};
  clk.ClockType =
      RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
  clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
  clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
  clk.APB1CLKDivider = RCC_HCLK_DIV4;
  clk.APB2CLKDivider = RCC_HCLK_DIV2;
  if (HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_6) != HAL_OK) Error_Handler();

  RCC_PeriphCLKInitTypeDef periph = {};
  periph.PeriphClockSelection = RCC_PERIPHCLK_CLK48;
  periph.PLLSAI.PLLSAIN = 192;
  periph.PLLSAI.PLLSAIP = RCC_PLLSAIP_DIV4;
  periph.Clk48ClockSelection = RCC_CLK48SOURCE_PLLSAIP;
  if (HAL_RCCEx_PeriphCLKConfig(&periph) != HAL_OK) Error_Handler();
}
