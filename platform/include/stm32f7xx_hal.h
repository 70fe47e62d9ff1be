/* Chip support library of the simulated STM32F746: the subset the application calls, with
 * the names, types and constants of the vendor library. */
#ifndef STM32F7XX_HAL_H
#define STM32F7XX_HAL_H

#include "stm32f7xx.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  HAL_OK = 0x00U,
  HAL_ERROR = 0x01U,
  HAL_BUSY = 0x02U,
  HAL_TIMEOUT = 0x03U
} HAL_StatusTypeDef;
typedef enum { HAL_UNLOCKED = 0x00U, HAL_LOCKED = 0x01U } HAL_LockTypeDef;
typedef enum { RESET = 0U, SET = !RESET } FlagStatus, ITStatus;
typedef enum { DISABLE = 0U, ENABLE = !DISABLE } FunctionalState;

#define HAL_MAX_DELAY 0xFFFFFFFFU
#define UNUSED(X) (void)(X)

/* ---- General ---- */
HAL_StatusTypeDef HAL_Init(void);
HAL_StatusTypeDef HAL_InitTick(uint32_t TickPriority);
void HAL_IncTick(void);
uint32_t HAL_GetTick(void);
void HAL_Delay(uint32_t Delay);
void HAL_MspInit(void);

/* ---- NVIC ---- */
#define NVIC_PRIORITYGROUP_0 0x00000007U
#define NVIC_PRIORITYGROUP_1 0x00000006U
#define NVIC_PRIORITYGROUP_2 0x00000005U
#define NVIC_PRIORITYGROUP_3 0x00000004U
#define NVIC_PRIORITYGROUP_4 0x00000003U
void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority);
void HAL_NVIC_EnableIRQ(IRQn_Type IRQn);
void HAL_NVIC_DisableIRQ(IRQn_Type IRQn);

/* ---- MPU ---- */
void HAL_MPU_Disable(void);
void HAL_MPU_Enable(uint32_t MPU_Control);

/* ---- RCC ---- */
#define RCC_OSCILLATORTYPE_NONE 0x00000000U
#define RCC_OSCILLATORTYPE_HSE 0x00000001U
#define RCC_OSCILLATORTYPE_HSI 0x00000002U
#define RCC_OSCILLATORTYPE_LSE 0x00000004U
#define RCC_OSCILLATORTYPE_LSI 0x00000008U
#define RCC_HSE_OFF 0x00000000U
#define RCC_HSE_ON 0x00010000U
#define RCC_HSE_BYPASS 0x00050000U
#define RCC_HSI_OFF 0x00000000U
#define RCC_HSI_ON 0x00000001U
#define RCC_LSI_OFF 0x00000000U
#define RCC_LSI_ON 0x00000001U
#define RCC_LSE_OFF 0x00000000U
#define RCC_LSE_ON 0x00000001U
#define RCC_HSICALIBRATION_DEFAULT 0x10U
#define RCC_PLL_NONE 0x00000000U
#define RCC_PLL_OFF 0x00000001U
#define RCC_PLL_ON 0x00000002U
#define RCC_PLLSOURCE_HSI 0x00000000U
#define RCC_PLLSOURCE_HSE 0x00400000U
#define RCC_PLLP_DIV2 0x00000002U
#define RCC_PLLP_DIV4 0x00000004U
#define RCC_PLLP_DIV6 0x00000006U
#define RCC_PLLP_DIV8 0x00000008U
#define RCC_CLOCKTYPE_SYSCLK 0x00000001U
#define RCC_CLOCKTYPE_HCLK 0x00000002U
#define RCC_CLOCKTYPE_PCLK1 0x00000004U
#define RCC_CLOCKTYPE_PCLK2 0x00000008U
#define RCC_SYSCLKSOURCE_HSI 0x00000000U
#define RCC_SYSCLKSOURCE_HSE 0x00000001U
#define RCC_SYSCLKSOURCE_PLLCLK 0x00000002U
#define RCC_SYSCLK_DIV1 0x00000000U
#define RCC_SYSCLK_DIV2 0x00000080U
#define RCC_SYSCLK_DIV4 0x00000090U
#define RCC_HCLK_DIV1 0x00000000U
#define RCC_HCLK_DIV2 0x00001000U
#define RCC_HCLK_DIV4 0x00001400U
#define RCC_HCLK_DIV8 0x00001800U
#define RCC_HCLK_DIV16 0x00001C00U
#define FLASH_LATENCY_0 0x00000000U
#define FLASH_LATENCY_5 0x00000005U
#define FLASH_LATENCY_6 0x00000006U
#define FLASH_LATENCY_7 0x00000007U
#define RCC_PERIPHCLK_LTDC 0x00000008U
#define RCC_PERIPHCLK_SAI2 0x00000100U
#define RCC_PERIPHCLK_RTC 0x00000020U
#define RCC_PERIPHCLK_CLK48 0x00200000U
#define RCC_CLK48SOURCE_PLL 0x00000000U
#define RCC_CLK48SOURCE_PLLSAIP 0x08000000U
#define RCC_PLLSAIP_DIV2 0x00000000U
#define RCC_PLLSAIP_DIV4 0x00000001U
#define RCC_PLLSAIP_DIV6 0x00000002U
#define RCC_PLLSAIP_DIV8 0x00000003U
#define RCC_PLLSAIDIVR_2 0x00000000U
#define RCC_PLLSAIDIVR_4 0x00010000U
#define RCC_PLLSAIDIVR_8 0x00020000U
#define RCC_PLLSAIDIVR_16 0x00030000U
#define RCC_RTCCLKSOURCE_LSI 0x00000200U
#define RCC_RTCCLKSOURCE_LSE 0x00000100U

typedef struct {
  uint32_t PLLState, PLLSource, PLLM, PLLN, PLLP, PLLQ;
} RCC_PLLInitTypeDef;

typedef struct {
  uint32_t OscillatorType, HSEState, LSEState, HSIState, HSICalibrationValue, LSIState;
  RCC_PLLInitTypeDef PLL;
} RCC_OscInitTypeDef;

typedef struct {
  uint32_t ClockType, SYSCLKSource, AHBCLKDivider, APB1CLKDivider, APB2CLKDivider;
} RCC_ClkInitTypeDef;

typedef struct {
  uint32_t PLLSAIN, PLLSAIQ, PLLSAIR, PLLSAIP;
} RCC_PLLSAIInitTypeDef;

typedef struct {
  uint32_t PLLI2SN, PLLI2SR, PLLI2SQ, PLLI2SP;
} RCC_PLLI2SInitTypeDef;

typedef struct {
  uint32_t PeriphClockSelection;
  RCC_PLLI2SInitTypeDef PLLI2S;
  RCC_PLLSAIInitTypeDef PLLSAI;
  uint32_t PLLI2SDivQ, PLLSAIDivQ, PLLSAIDivR, RTCClockSelection, I2sClockSelection,
      TIMPresSelection, Sai1ClockSelection, Sai2ClockSelection, Clk48ClockSelection,
      Sdmmc1ClockSelection;
} RCC_PeriphCLKInitTypeDef;

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct);
HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency);
HAL_StatusTypeDef HAL_RCCEx_PeriphCLKConfig(RCC_PeriphCLKInitTypeDef* PeriphClkInit);
uint32_t HAL_RCC_GetSysClockFreq(void);
uint32_t HAL_RCC_GetHCLKFreq(void);
uint32_t HAL_RCC_GetPCLK1Freq(void);
uint32_t HAL_RCC_GetPCLK2Freq(void);

/* Peripheral clock gates: recorded so that the set-up order can be checked. */
typedef enum {
  SIM_CLK_GPIOA,
  SIM_CLK_GPIOB,
  SIM_CLK_GPIOC,
  SIM_CLK_GPIOD,
  SIM_CLK_GPIOE,
  SIM_CLK_GPIOF,
  SIM_CLK_GPIOG,
  SIM_CLK_GPIOH,
  SIM_CLK_GPIOI,
  SIM_CLK_GPIOJ,
  SIM_CLK_GPIOK,
  SIM_CLK_USART1,
  SIM_CLK_LTDC,
  SIM_CLK_BKPSRAM,
  SIM_CLK_PWR,
  SIM_CLK_TIM3,
  SIM_CLK_TIM4,
  SIM_CLK_TIM6,
  SIM_CLK_TIM7,
  SIM_CLK_TIM8,
  SIM_CLK_SPI2,
  SIM_CLK_ADC3,
  SIM_CLK_DMA1,
  SIM_CLK_DMA2,
  SIM_CLK_DMA2D,
  SIM_CLK_RTC,
  SIM_CLK_SAI2,
  SIM_CLK_QSPI,
  SIM_CLK_OTGFS,
  SIM_CLK_COUNT
} SimClock;
void sim_rcc_clock_enable(SimClock clock);
#define __HAL_RCC_GPIOA_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOA)
#define __HAL_RCC_GPIOB_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOB)
#define __HAL_RCC_GPIOC_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOC)
#define __HAL_RCC_GPIOD_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOD)
#define __HAL_RCC_GPIOE_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOE)
#define __HAL_RCC_GPIOF_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOF)
#define __HAL_RCC_GPIOG_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOG)
#define __HAL_RCC_GPIOH_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOH)
#define __HAL_RCC_GPIOI_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOI)
#define __HAL_RCC_GPIOJ_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOJ)
#define __HAL_RCC_GPIOK_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_GPIOK)
#define __HAL_RCC_USART1_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_USART1)
#define __HAL_RCC_LTDC_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_LTDC)
#define __HAL_RCC_BKPSRAM_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_BKPSRAM)
#define __HAL_RCC_PWR_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_PWR)
#define __HAL_RCC_TIM3_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_TIM3)
#define __HAL_RCC_TIM4_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_TIM4)
#define __HAL_RCC_TIM6_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_TIM6)
#define __HAL_RCC_TIM7_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_TIM7)
#define __HAL_RCC_TIM8_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_TIM8)
#define __HAL_RCC_SPI2_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_SPI2)
#define __HAL_RCC_ADC3_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_ADC3)
#define __HAL_RCC_DMA1_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_DMA1)
#define __HAL_RCC_DMA2_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_DMA2)
#define __HAL_RCC_DMA2D_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_DMA2D)
#define __HAL_RCC_RTC_ENABLE() sim_rcc_clock_enable(SIM_CLK_RTC)
#define __HAL_RCC_SAI2_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_SAI2)
#define __HAL_RCC_QSPI_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_QSPI)
#define __HAL_RCC_USB_OTG_FS_CLK_ENABLE() sim_rcc_clock_enable(SIM_CLK_OTGFS)

/* ---- PWR ---- */
HAL_StatusTypeDef HAL_PWREx_EnableOverDrive(void);
void HAL_PWR_EnableBkUpAccess(void);

/* ---- GPIO ---- */
#define GPIO_PIN_0 ((uint16_t)0x0001)
#define GPIO_PIN_1 ((uint16_t)0x0002)
#define GPIO_PIN_2 ((uint16_t)0x0004)
#define GPIO_PIN_3 ((uint16_t)0x0008)
#define GPIO_PIN_4 ((uint16_t)0x0010)
#define GPIO_PIN_5 ((uint16_t)0x0020)
#define GPIO_PIN_6 ((uint16_t)0x0040)
#define GPIO_PIN_7 ((uint16_t)0x0080)
#define GPIO_PIN_8 ((uint16_t)0x0100)
#define GPIO_PIN_9 ((uint16_t)0x0200)
#define GPIO_PIN_10 ((uint16_t)0x0400)
#define GPIO_PIN_11 ((uint16_t)0x0800)
#define GPIO_PIN_12 ((uint16_t)0x1000)
#define GPIO_PIN_13 ((uint16_t)0x2000)
#define GPIO_PIN_14 ((uint16_t)0x4000)
#define GPIO_PIN_15 ((uint16_t)0x8000)
#define GPIO_PIN_All ((uint16_t)0xFFFF)

#define GPIO_MODE_INPUT 0x00000000U
#define GPIO_MODE_OUTPUT_PP 0x00000001U
#define GPIO_MODE_OUTPUT_OD 0x00000011U
#define GPIO_MODE_AF_PP 0x00000002U
#define GPIO_MODE_AF_OD 0x00000012U
#define GPIO_MODE_ANALOG 0x00000003U
#define GPIO_MODE_IT_RISING 0x10110000U
#define GPIO_MODE_IT_FALLING 0x10210000U
#define GPIO_MODE_IT_RISING_FALLING 0x10310000U
#define GPIO_NOPULL 0x00000000U
#define GPIO_PULLUP 0x00000001U
#define GPIO_PULLDOWN 0x00000002U
#define GPIO_SPEED_FREQ_LOW 0x00000000U
#define GPIO_SPEED_FREQ_MEDIUM 0x00000001U
#define GPIO_SPEED_FREQ_HIGH 0x00000002U
#define GPIO_SPEED_FREQ_VERY_HIGH 0x00000003U
#define GPIO_AF1_TIM1 ((uint8_t)0x01)
#define GPIO_AF2_TIM3 ((uint8_t)0x02)
#define GPIO_AF2_TIM4 ((uint8_t)0x02)
#define GPIO_AF3_TIM8 ((uint8_t)0x03)
#define GPIO_AF5_SPI2 ((uint8_t)0x05)
#define GPIO_AF7_USART1 ((uint8_t)0x07)
#define GPIO_AF10_OTG_FS ((uint8_t)0x0A)
#define GPIO_AF14_LTDC ((uint8_t)0x0E)

typedef enum { GPIO_PIN_RESET = 0, GPIO_PIN_SET } GPIO_PinState;

typedef struct {
  uint32_t Pin, Mode, Pull, Speed, Alternate;
} GPIO_InitTypeDef;

void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init);
void HAL_GPIO_DeInit(GPIO_TypeDef* GPIOx, uint32_t GPIO_Pin);
GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState);
void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin);

/* ---- DMA (the handle is in stm32f7xx_hal_dma.h) ---- */
typedef struct __DMA_HandleTypeDef DMA_HandleTypeDef;

/* ---- TIM ---- */
#define TIM_COUNTERMODE_UP 0x00000000U
#define TIM_CLOCKDIVISION_DIV1 0x00000000U
#define TIM_AUTORELOAD_PRELOAD_DISABLE 0x00000000U
#define TIM_AUTORELOAD_PRELOAD_ENABLE 0x00000080U
#define TIM_IT_UPDATE TIM_DIER_UIE
#define TIM_FLAG_UPDATE TIM_SR_UIF

typedef struct {
  uint32_t Prescaler, CounterMode, Period, ClockDivision, RepetitionCounter, AutoReloadPreload;
} TIM_Base_InitTypeDef;

typedef enum {
  HAL_TIM_STATE_RESET = 0x00U,
  HAL_TIM_STATE_READY = 0x01U,
  HAL_TIM_STATE_BUSY = 0x02U
} HAL_TIM_StateTypeDef;

typedef enum {
  HAL_TIM_ACTIVE_CHANNEL_1 = 0x01U,
  HAL_TIM_ACTIVE_CHANNEL_2 = 0x02U,
  HAL_TIM_ACTIVE_CHANNEL_CLEARED = 0x00U
} HAL_TIM_ActiveChannel;

typedef struct {
  TIM_TypeDef* Instance;
  TIM_Base_InitTypeDef Init;
  HAL_TIM_ActiveChannel Channel;
  DMA_HandleTypeDef* hdma[7];
  HAL_LockTypeDef Lock;
  HAL_TIM_StateTypeDef State;
} TIM_HandleTypeDef;

HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Stop_IT(TIM_HandleTypeDef* htim);
void HAL_TIM_Base_MspInit(TIM_HandleTypeDef* htim);
void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim);
void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim);
#define __HAL_TIM_GET_COUNTER(h) ((h)->Instance->CNT)
#define __HAL_TIM_SET_COUNTER(h, c) ((h)->Instance->CNT = (c))

/* ---- UART ---- */
#define UART_WORDLENGTH_8B 0x00000000U
#define UART_STOPBITS_1 0x00000000U
#define UART_PARITY_NONE 0x00000000U
#define UART_MODE_TX 0x00000008U
#define UART_MODE_RX 0x00000004U
#define UART_MODE_TX_RX 0x0000000CU
#define UART_HWCONTROL_NONE 0x00000000U
#define UART_OVERSAMPLING_16 0x00000000U
#define UART_OVERSAMPLING_8 0x00008000U
#define UART_ONE_BIT_SAMPLE_DISABLE 0x00000000U
#define UART_ADVFEATURE_NO_INIT 0x00000000U
#define UART_IT_RXNE 0x0525U

typedef struct {
  uint32_t BaudRate, WordLength, StopBits, Parity, Mode, HwFlowCtl, OverSampling, OneBitSampling;
} UART_InitTypeDef;

typedef struct {
  uint32_t AdvFeatureInit;
} UART_AdvFeatureInitTypeDef;

typedef enum {
  HAL_UART_STATE_RESET = 0x00U,
  HAL_UART_STATE_READY = 0x20U,
  HAL_UART_STATE_BUSY = 0x24U,
  HAL_UART_STATE_BUSY_TX = 0x21U
} HAL_UART_StateTypeDef;

typedef struct {
  USART_TypeDef* Instance;
  UART_InitTypeDef Init;
  UART_AdvFeatureInitTypeDef AdvancedInit;
  const uint8_t* pTxBuffPtr;
  uint16_t TxXferSize;
  __IO uint16_t TxXferCount;
  HAL_LockTypeDef Lock;
  __IO HAL_UART_StateTypeDef gState;
  uint32_t ErrorCode;
} UART_HandleTypeDef;

HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef* huart);
void HAL_UART_MspInit(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size,
                                    uint32_t Timeout);
HAL_StatusTypeDef HAL_UART_Receive(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size,
                                   uint32_t Timeout);
/* Interrupt-driven transmit: the data register is refilled from the transmit-empty interrupt
 * (HAL_UART_IRQHandler); HAL_UART_TxCpltCallback runs once the last byte has left the line. */
HAL_StatusTypeDef HAL_UART_Transmit_IT(UART_HandleTypeDef* huart, const uint8_t* pData,
                                       uint16_t Size);
HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef* huart);
void HAL_UART_IRQHandler(UART_HandleTypeDef* huart);
void HAL_UART_TxCpltCallback(UART_HandleTypeDef* huart);
void sim_uart_enable_it(UART_HandleTypeDef* huart, uint32_t it);
#define __HAL_UART_ENABLE_IT(h, it) sim_uart_enable_it((h), (it))
#define __HAL_UART_GET_FLAG(h, flag) ((((h)->Instance->ISR) & (flag)) == (flag))
#define UART_FLAG_RXNE USART_ISR_RXNE

/* ---- RTC ---- */
#define RTC_HOURFORMAT_24 0x00000000U
#define RTC_OUTPUT_DISABLE 0x00000000U
#define RTC_OUTPUT_POLARITY_HIGH 0x00000000U
#define RTC_OUTPUT_TYPE_OPENDRAIN 0x00000000U
#define RTC_BKP_DR0 0x00000000U
#define RTC_BKP_DR1 0x00000001U

typedef struct {
  uint32_t HourFormat, AsynchPrediv, SynchPrediv, OutPut, OutPutPolarity, OutPutType;
} RTC_InitTypeDef;

typedef struct {
  RTC_TypeDef* Instance;
  RTC_InitTypeDef Init;
  HAL_LockTypeDef Lock;
  uint32_t State;
} RTC_HandleTypeDef;

HAL_StatusTypeDef HAL_RTC_Init(RTC_HandleTypeDef* hrtc);
void HAL_RTC_MspInit(RTC_HandleTypeDef* hrtc);
void HAL_RTCEx_BKUPWrite(RTC_HandleTypeDef* hrtc, uint32_t BackupRegister, uint32_t Data);
uint32_t HAL_RTCEx_BKUPRead(RTC_HandleTypeDef* hrtc, uint32_t BackupRegister);

/* ---- LTDC, DMA2D, QSPI: handles and interrupt entries of the display and flash drivers ---- */
typedef struct {
  LTDC_TypeDef* Instance;
  uint32_t State;
  uint32_t ErrorCode;
} LTDC_HandleTypeDef;
void HAL_LTDC_IRQHandler(LTDC_HandleTypeDef* hltdc);
void HAL_LTDC_LineEventCallback(LTDC_HandleTypeDef* hltdc);
HAL_StatusTypeDef HAL_LTDC_ProgramLineEvent(LTDC_HandleTypeDef* hltdc, uint32_t Line);

typedef struct {
  DMA2D_TypeDef* Instance;
  uint32_t State;
  uint32_t ErrorCode;
} DMA2D_HandleTypeDef;
void HAL_DMA2D_IRQHandler(DMA2D_HandleTypeDef* hdma2d);

typedef struct {
  QUADSPI_TypeDef* Instance;
  uint32_t State;
  uint32_t ErrorCode;
} QSPI_HandleTypeDef;
void HAL_QSPI_IRQHandler(QSPI_HandleTypeDef* hqspi);

/* ---- HCD: the USB OTG full-speed controller in host mode ---- */
#define HCD_SPEED_HIGH 0U
#define HCD_SPEED_FULL 1U
#define HCD_SPEED_LOW 2U
#define HCD_PHY_EMBEDDED 2U

typedef struct {
  uint32_t Host_channels, speed, dma_enable, ep0_mps, phy_itface, Sof_enable, low_power_enable,
      vbus_sensing_enable, use_external_vbus;
} HCD_InitTypeDef;

typedef enum {
  HAL_HCD_STATE_RESET = 0x00U,
  HAL_HCD_STATE_READY = 0x01U,
  HAL_HCD_STATE_ERROR = 0x02U,
  HAL_HCD_STATE_BUSY = 0x03U
} HCD_StateTypeDef;

typedef struct {
  USB_OTG_GlobalTypeDef* Instance;
  HCD_InitTypeDef Init;
  HAL_LockTypeDef Lock;
  volatile HCD_StateTypeDef State;
  void* pData;
} HCD_HandleTypeDef;

HAL_StatusTypeDef HAL_HCD_Init(HCD_HandleTypeDef* hhcd);
void HAL_HCD_MspInit(HCD_HandleTypeDef* hhcd);
HAL_StatusTypeDef HAL_HCD_Start(HCD_HandleTypeDef* hhcd);
HAL_StatusTypeDef HAL_HCD_Stop(HCD_HandleTypeDef* hhcd);
HAL_StatusTypeDef HAL_HCD_ResetPort(HCD_HandleTypeDef* hhcd);
uint32_t HAL_HCD_GetCurrentSpeed(HCD_HandleTypeDef* hhcd);
void HAL_HCD_IRQHandler(HCD_HandleTypeDef* hhcd);
void HAL_HCD_SOF_Callback(HCD_HandleTypeDef* hhcd);
void HAL_HCD_Connect_Callback(HCD_HandleTypeDef* hhcd);
void HAL_HCD_Disconnect_Callback(HCD_HandleTypeDef* hhcd);
void HAL_HCD_PortEnabled_Callback(HCD_HandleTypeDef* hhcd);
void HAL_HCD_PortDisabled_Callback(HCD_HandleTypeDef* hhcd);

/* ---- SPI (polling transfers) ---- */
#define SPI_MODE_SLAVE 0x00000000U
#define SPI_MODE_MASTER 0x00000104U
#define SPI_DIRECTION_2LINES 0x00000000U
#define SPI_DIRECTION_2LINES_RXONLY 0x00000400U
#define SPI_DIRECTION_1LINE 0x00008000U
#define SPI_DATASIZE_4BIT 0x00000300U
#define SPI_DATASIZE_8BIT 0x00000700U
#define SPI_DATASIZE_16BIT 0x00000F00U
#define SPI_POLARITY_LOW 0x00000000U
#define SPI_POLARITY_HIGH 0x00000002U
#define SPI_PHASE_1EDGE 0x00000000U
#define SPI_PHASE_2EDGE 0x00000001U
#define SPI_NSS_SOFT 0x00000200U
#define SPI_NSS_HARD_INPUT 0x00000000U
#define SPI_NSS_HARD_OUTPUT 0x00040000U
#define SPI_BAUDRATEPRESCALER_2 0x00000000U
#define SPI_BAUDRATEPRESCALER_4 0x00000008U
#define SPI_BAUDRATEPRESCALER_8 0x00000010U
#define SPI_BAUDRATEPRESCALER_16 0x00000018U
#define SPI_BAUDRATEPRESCALER_32 0x00000020U
#define SPI_BAUDRATEPRESCALER_64 0x00000028U
#define SPI_BAUDRATEPRESCALER_128 0x00000030U
#define SPI_BAUDRATEPRESCALER_256 0x00000038U
#define SPI_FIRSTBIT_MSB 0x00000000U
#define SPI_FIRSTBIT_LSB 0x00000080U
#define SPI_TIMODE_DISABLE 0x00000000U
#define SPI_TIMODE_ENABLE 0x00000010U
#define SPI_CRCCALCULATION_DISABLE 0x00000000U
#define SPI_CRCCALCULATION_ENABLE 0x00002000U
#define SPI_CRC_LENGTH_DATASIZE 0x00000000U
#define SPI_CRC_LENGTH_8BIT 0x00000001U
#define SPI_CRC_LENGTH_16BIT 0x00000002U
#define SPI_NSS_PULSE_DISABLE 0x00000000U
#define SPI_NSS_PULSE_ENABLE 0x00000008U
#define HAL_SPI_ERROR_NONE 0x00000000U
#define HAL_SPI_ERROR_FLAG 0x00000010U

typedef struct {
  uint32_t Mode, Direction, DataSize, CLKPolarity, CLKPhase, NSS, BaudRatePrescaler, FirstBit,
      TIMode, CRCCalculation, CRCPolynomial, CRCLength, NSSPMode;
} SPI_InitTypeDef;

typedef enum {
  HAL_SPI_STATE_RESET = 0x00U,
  HAL_SPI_STATE_READY = 0x01U,
  HAL_SPI_STATE_BUSY = 0x02U,
  HAL_SPI_STATE_BUSY_TX = 0x03U,
  HAL_SPI_STATE_BUSY_RX = 0x04U,
  HAL_SPI_STATE_BUSY_TX_RX = 0x05U,
  HAL_SPI_STATE_ERROR = 0x06U,
  HAL_SPI_STATE_ABORT = 0x07U
} HAL_SPI_StateTypeDef;

typedef struct {
  SPI_TypeDef* Instance;
  SPI_InitTypeDef Init;
  uint8_t* pTxBuffPtr;
  uint16_t TxXferSize, TxXferCount;
  uint8_t* pRxBuffPtr;
  uint16_t RxXferSize, RxXferCount;
  HAL_LockTypeDef Lock;
  volatile HAL_SPI_StateTypeDef State;
  volatile uint32_t ErrorCode;
} SPI_HandleTypeDef;

HAL_StatusTypeDef HAL_SPI_Init(SPI_HandleTypeDef* hspi);
void HAL_SPI_MspInit(SPI_HandleTypeDef* hspi);
HAL_StatusTypeDef HAL_SPI_Transmit(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size,
                                   uint32_t Timeout);
HAL_StatusTypeDef HAL_SPI_Receive(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size,
                                  uint32_t Timeout);
HAL_StatusTypeDef HAL_SPI_TransmitReceive(SPI_HandleTypeDef* hspi, uint8_t* pTxData,
                                          uint8_t* pRxData, uint16_t Size, uint32_t Timeout);
HAL_SPI_StateTypeDef HAL_SPI_GetState(SPI_HandleTypeDef* hspi);

#ifdef __cplusplus
}
#endif

/* DMA streams, timer channels (PWM, encoder), ADC: each in a header of its own. */
#include "stm32f7xx_hal_adc.h"
#include "stm32f7xx_hal_dma.h"
#include "stm32f7xx_hal_tim_ex.h"
/* Serial audio interface (after the DMA handle it links to). */
#include "stm32f7xx_hal_sai.h"

#endif
