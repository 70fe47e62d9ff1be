#include "ldr.h"

bool Ldr::init() {
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_9;
  gpio.Mode = GPIO_MODE_ANALOG;
  gpio.Pull = GPIO_NOPULL;
  HAL_GPIO_Init(GPIOF, &gpio);

  __HAL_RCC_ADC3_CLK_ENABLE();
  AdcHandle.Instance = ADC3;
  AdcHandle.Init.ClockPrescaler = ADC_CLOCK_SYNC_PCLK_DIV4;
  AdcHandle.Init.Resolution = ADC_RESOLUTION_12B;
  AdcHandle.Init.ScanConvMode = DISABLE;
  AdcHandle.Init.ContinuousConvMode = ENABLE;
  AdcHandle.Init.DiscontinuousConvMode = DISABLE;
  AdcHandle.Init.NbrOfDiscConversion = 0;
  AdcHandle.Init.ExternalTrigConvEdge = ADC_EXTERNALTRIGCONVEDGE_NONE;
  AdcHandle.Init.ExternalTrigConv = ADC_SOFTWARE_START;
  AdcHandle.Init.DataAlign = ADC_DATAALIGN_RIGHT;
  AdcHandle.Init.NbrOfConversion = 1;
  AdcHandle.Init.DMAContinuousRequests = DISABLE;
  AdcHandle.Init.EOCSelection = ADC_EOC_SEQ_CONV;
  if (HAL_ADC_Init(&AdcHandle) != HAL_OK) return false;

  sConfig.Channel = ADC_CHANNEL_7;
  sConfig.Rank = 1;
  sConfig.SamplingTime = ADC_SAMPLETIME_112CYCLES;
  sConfig.Offset = 0;
  return HAL_ADC_ConfigChannel(&AdcHandle, &sConfig) == HAL_OK;
}

uint16_t Ldr::measure() {
  uint32_t reading = HAL_ADC_GetValue(&AdcHandle) & 0xFFF;
  if (reading > LDR_SATURATED) reading = LDR_BRIGHT;
  average = filter(average, reading);
  return lumOf(average);
}

uint32_t Ldr::filter(uint32_t average, uint32_t reading) {
  if (average == 0) return reading;
  return ((LDR_FILTER - 1) * average + reading) / LDR_FILTER;
}

uint16_t Ldr::lumOf(uint32_t average) {
  const uint16_t a = static_cast<uint16_t>(average);
  if (a < 1000) return 512;
  if (a <= 3000) return static_cast<uint16_t>((3000 - a) / 4 + 6);
  return 5;
}
