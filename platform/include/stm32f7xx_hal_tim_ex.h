/* Timer channels of the simulated STM32F746: PWM output (also fed by DMA), encoder mode,
 * clock source and master mode, with the vendor library's names and values. The base timer
 * is in stm32f7xx_hal.h. */
#ifndef STM32F7XX_HAL_TIM_EX_H
#define STM32F7XX_HAL_TIM_EX_H

#include "stm32f7xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TIM_CLOCKDIVISION_DIV2 0x00000100U
#define TIM_CLOCKDIVISION_DIV4 0x00000200U

#define TIM_CHANNEL_1 0x00000000U
#define TIM_CHANNEL_2 0x00000004U
#define TIM_CHANNEL_3 0x00000008U
#define TIM_CHANNEL_4 0x0000000CU
#define TIM_CHANNEL_ALL 0x0000003CU

/* Which of a timer handle's DMA handles serves which request. */
#define TIM_DMA_ID_UPDATE ((uint16_t)0x0000)
#define TIM_DMA_ID_CC1 ((uint16_t)0x0001)
#define TIM_DMA_ID_CC2 ((uint16_t)0x0002)
#define TIM_DMA_ID_CC3 ((uint16_t)0x0003)
#define TIM_DMA_ID_CC4 ((uint16_t)0x0004)
#define TIM_DMA_ID_COMMUTATION ((uint16_t)0x0005)
#define TIM_DMA_ID_TRIGGER ((uint16_t)0x0006)

#define TIM_OCMODE_TIMING 0x00000000U
#define TIM_OCMODE_ACTIVE 0x00000010U
#define TIM_OCMODE_INACTIVE 0x00000020U
#define TIM_OCMODE_TOGGLE 0x00000030U
#define TIM_OCMODE_PWM1 0x00000060U
#define TIM_OCMODE_PWM2 0x00000070U
#define TIM_OCPOLARITY_HIGH 0x00000000U
#define TIM_OCPOLARITY_LOW 0x00000002U
#define TIM_OCNPOLARITY_HIGH 0x00000000U
#define TIM_OCNPOLARITY_LOW 0x00000008U
#define TIM_OCFAST_DISABLE 0x00000000U
#define TIM_OCFAST_ENABLE 0x00000004U
#define TIM_OCIDLESTATE_RESET 0x00000000U
#define TIM_OCIDLESTATE_SET 0x00000100U
#define TIM_OCNIDLESTATE_RESET 0x00000000U
#define TIM_OCNIDLESTATE_SET 0x00000200U

typedef struct {
  uint32_t OCMode, Pulse, OCPolarity, OCNPolarity, OCFastMode, OCIdleState, OCNIdleState;
} TIM_OC_InitTypeDef;

#define TIM_CLOCKSOURCE_INTERNAL 0x00001000U
#define TIM_CLOCKPOLARITY_NONINVERTED 0x00000000U
#define TIM_CLOCKPRESCALER_DIV1 0x00000000U

typedef struct {
  uint32_t ClockSource, ClockPolarity, ClockPrescaler, ClockFilter;
} TIM_ClockConfigTypeDef;

#define TIM_TRGO_RESET 0x00000000U
#define TIM_TRGO2_RESET 0x00000000U
#define TIM_MASTERSLAVEMODE_DISABLE 0x00000000U
#define TIM_MASTERSLAVEMODE_ENABLE 0x00000080U

typedef struct {
  uint32_t MasterOutputTrigger, MasterOutputTrigger2, MasterSlaveMode;
} TIM_MasterConfigTypeDef;

#define TIM_ENCODERMODE_TI1 0x00000001U
#define TIM_ENCODERMODE_TI2 0x00000002U
#define TIM_ENCODERMODE_TI12 0x00000003U
#define TIM_ICPOLARITY_RISING 0x00000000U
#define TIM_ICPOLARITY_FALLING 0x00000002U
#define TIM_ICPOLARITY_BOTHEDGE 0x0000000AU
#define TIM_ICSELECTION_DIRECTTI 0x00000001U
#define TIM_ICSELECTION_INDIRECTTI 0x00000002U
#define TIM_ICSELECTION_TRC 0x00000003U
#define TIM_ICPSC_DIV1 0x00000000U

typedef struct {
  uint32_t EncoderMode;
  uint32_t IC1Polarity, IC1Selection, IC1Prescaler, IC1Filter;
  uint32_t IC2Polarity, IC2Selection, IC2Prescaler, IC2Filter;
} TIM_Encoder_InitTypeDef;

HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim,
                                            TIM_ClockConfigTypeDef* sClockSourceConfig);
HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim,
                                                        TIM_MasterConfigTypeDef* sMasterConfig);

HAL_StatusTypeDef HAL_TIM_PWM_Init(TIM_HandleTypeDef* htim);
void HAL_TIM_PWM_MspInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_PWM_ConfigChannel(TIM_HandleTypeDef* htim, TIM_OC_InitTypeDef* sConfig,
                                            uint32_t Channel);
/* Starts PWM on Channel with the compare value of each period taken from pData by the DMA
 * handle linked as the channel's (TIM_DMA_ID_CC1 ...), Length items of the DMA's memory size. */
HAL_StatusTypeDef HAL_TIM_PWM_Start_DMA(TIM_HandleTypeDef* htim, uint32_t Channel,
                                        const uint32_t* pData, uint16_t Length);
HAL_StatusTypeDef HAL_TIM_PWM_Stop_DMA(TIM_HandleTypeDef* htim, uint32_t Channel);
void HAL_TIM_PWM_PulseFinishedCallback(TIM_HandleTypeDef* htim);

HAL_StatusTypeDef HAL_TIM_Encoder_Init(TIM_HandleTypeDef* htim, TIM_Encoder_InitTypeDef* sConfig);
void HAL_TIM_Encoder_MspInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Encoder_Start(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_Encoder_Stop(TIM_HandleTypeDef* htim, uint32_t Channel);

#ifdef __cplusplus
}
#endif

#endif
