/* Analogue-to-digital converters of the simulated STM32F746: regular conversions started
 * by software, single or continuous, with the vendor library's names and values. */
#ifndef STM32F7XX_HAL_ADC_H
#define STM32F7XX_HAL_ADC_H

#include "stm32f7xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ADC_CLOCK_SYNC_PCLK_DIV2 0x00000000U
#define ADC_CLOCK_SYNC_PCLK_DIV4 0x00010000U
#define ADC_CLOCK_SYNC_PCLK_DIV6 0x00020000U
#define ADC_CLOCK_SYNC_PCLK_DIV8 0x00030000U
#define ADC_RESOLUTION_12B 0x00000000U
#define ADC_RESOLUTION_10B 0x01000000U
#define ADC_RESOLUTION_8B 0x02000000U
#define ADC_RESOLUTION_6B 0x03000000U
#define ADC_DATAALIGN_RIGHT 0x00000000U
#define ADC_DATAALIGN_LEFT 0x00000800U
#define ADC_EOC_SEQ_CONV 0x00000000U
#define ADC_EOC_SINGLE_CONV 0x00000001U
#define ADC_EXTERNALTRIGCONVEDGE_NONE 0x00000000U
#define ADC_SOFTWARE_START 0x0F000001U
#define ADC_SAMPLETIME_3CYCLES 0x00000000U
#define ADC_SAMPLETIME_15CYCLES 0x00000001U
#define ADC_SAMPLETIME_28CYCLES 0x00000002U
#define ADC_SAMPLETIME_56CYCLES 0x00000003U
#define ADC_SAMPLETIME_84CYCLES 0x00000004U
#define ADC_SAMPLETIME_112CYCLES 0x00000005U
#define ADC_SAMPLETIME_144CYCLES 0x00000006U
#define ADC_SAMPLETIME_480CYCLES 0x00000007U
#define ADC_CHANNEL_0 0x00000000U
#define ADC_CHANNEL_7 0x00000007U
#define ADC_CHANNEL_18 0x00000012U

typedef struct {
  uint32_t ClockPrescaler, Resolution, DataAlign, ScanConvMode, EOCSelection;
  FunctionalState ContinuousConvMode;
  uint32_t NbrOfConversion;
  FunctionalState DiscontinuousConvMode;
  uint32_t NbrOfDiscConversion, ExternalTrigConv, ExternalTrigConvEdge;
  FunctionalState DMAContinuousRequests;
} ADC_InitTypeDef;

typedef struct {
  uint32_t Channel, Rank, SamplingTime, Offset;
} ADC_ChannelConfTypeDef;

#define HAL_ADC_STATE_RESET 0x00000000U
#define HAL_ADC_STATE_READY 0x00000001U
#define HAL_ADC_STATE_BUSY_INTERNAL 0x00000002U
#define HAL_ADC_STATE_REG_BUSY 0x00000100U
#define HAL_ADC_ERROR_NONE 0x00U
#define HAL_ADC_ERROR_INTERNAL 0x01U

typedef struct {
  ADC_TypeDef* Instance;
  ADC_InitTypeDef Init;
  volatile uint32_t NbrOfCurrentConversionRank;
  DMA_HandleTypeDef* DMA_Handle;
  HAL_LockTypeDef Lock;
  volatile uint32_t State;
  volatile uint32_t ErrorCode;
} ADC_HandleTypeDef;

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* hadc);
void HAL_ADC_MspInit(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* hadc, ADC_ChannelConfTypeDef* sConfig);
HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_Stop(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* hadc, uint32_t Timeout);
/* The result of the latest finished conversion. */
uint32_t HAL_ADC_GetValue(ADC_HandleTypeDef* hadc);

#ifdef __cplusplus
}
#endif

#endif
