#include "k_rtc.h"

#include "main.h"
#include "stm32f7xx_hal.h"

namespace {
RTC_HandleTypeDef rtcHandle;
}

// LSE on, LSI off, prescalers 127 and 255 give a 1 Hz calendar; 24-hour format, no output.
void k_CalendarBkupInit() {
  RCC_OscInitTypeDef osc = {};
  osc.OscillatorType = RCC_OSCILLATORTYPE_LSI | RCC_OSCILLATORTYPE_LSE;
  osc.PLL.PLLState = RCC_PLL_NONE;
  osc.LSEState = RCC_LSE_ON;
  osc.LSIState = RCC_LSI_OFF;
  if (HAL_RCC_OscConfig(&osc) != HAL_OK) Error_Handler();

  RCC_PeriphCLKInitTypeDef clk = {};
  clk.PeriphClockSelection = RCC_PERIPHCLK_RTC;
  clk.RTCClockSelection = RCC_RTCCLKSOURCE_LSE;
  if (HAL_RCCEx_PeriphCLKConfig(&clk) != HAL_OK) Error_Handler();
  __HAL_RCC_RTC_ENABLE();

  rtcHandle.Instance = RTC;
  rtcHandle.Init.HourFormat = RTC_HOURFORMAT_24;
  rtcHandle.Init.AsynchPrediv = 127;
  rtcHandle.Init.SynchPrediv = 255;
  rtcHandle.Init.OutPut = RTC_OUTPUT_DISABLE;
  rtcHandle.Init.OutPutPolarity = RTC_OUTPUT_POLARITY_HIGH;
  rtcHandle.Init.OutPutType = RTC_OUTPUT_TYPE_OPENDRAIN;
  if (HAL_RTC_Init(&rtcHandle) != HAL_OK) Error_Handler();
}
