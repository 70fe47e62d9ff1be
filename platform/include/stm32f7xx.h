/* STM32F746 device header of the simulated board: interrupt numbers, peripheral register
 * blocks and the Cortex-M7 core functions the application uses. The register blocks are
 * plain memory owned by the board models. */
#ifndef STM32F7XX_H
#define STM32F7XX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define __IO volatile
#define __I volatile const
#define __O volatile

typedef enum {
  NonMaskableInt_IRQn = -14,
  HardFault_IRQn = -13,
  MemoryManagement_IRQn = -12,
  BusFault_IRQn = -11,
  UsageFault_IRQn = -10,
  SVCall_IRQn = -5,
  DebugMonitor_IRQn = -4,
  PendSV_IRQn = -2,
  SysTick_IRQn = -1,
  WWDG_IRQn = 0,
  PVD_IRQn = 1,
  TAMP_STAMP_IRQn = 2,
  RTC_WKUP_IRQn = 3,
  FLASH_IRQn = 4,
  RCC_IRQn = 5,
  EXTI0_IRQn = 6,
  EXTI1_IRQn = 7,
  EXTI2_IRQn = 8,
  EXTI3_IRQn = 9,
  EXTI4_IRQn = 10,
  DMA1_Stream0_IRQn = 11,
  DMA1_Stream1_IRQn = 12,
  DMA1_Stream2_IRQn = 13,
  DMA1_Stream3_IRQn = 14,
  DMA1_Stream4_IRQn = 15,
  DMA1_Stream5_IRQn = 16,
  DMA1_Stream6_IRQn = 17,
  ADC_IRQn = 18,
  EXTI9_5_IRQn = 23,
  TIM1_BRK_TIM9_IRQn = 24,
  TIM1_UP_TIM10_IRQn = 25,
  TIM1_TRG_COM_TIM11_IRQn = 26,
  TIM1_CC_IRQn = 27,
  TIM2_IRQn = 28,
  TIM3_IRQn = 29,
  TIM4_IRQn = 30,
  SPI1_IRQn = 35,
  SPI2_IRQn = 36,
  USART1_IRQn = 37,
  USART2_IRQn = 38,
  USART3_IRQn = 39,
  EXTI15_10_IRQn = 40,
  RTC_Alarm_IRQn = 41,
  TIM8_BRK_TIM12_IRQn = 43,
  TIM8_UP_TIM13_IRQn = 44,
  TIM8_TRG_COM_TIM14_IRQn = 45,
  TIM8_CC_IRQn = 46,
  DMA1_Stream7_IRQn = 47,
  TIM5_IRQn = 50,
  TIM6_DAC_IRQn = 54,
  TIM7_IRQn = 55,
  DMA2_Stream0_IRQn = 56,
  DMA2_Stream1_IRQn = 57,
  DMA2_Stream2_IRQn = 58,
  DMA2_Stream3_IRQn = 59,
  DMA2_Stream4_IRQn = 60,
  ETH_IRQn = 61,
  OTG_FS_IRQn = 67,
  DMA2_Stream5_IRQn = 68,
  DMA2_Stream6_IRQn = 69,
  DMA2_Stream7_IRQn = 70,
  USART6_IRQn = 71,
  LTDC_IRQn = 88,
  LTDC_ER_IRQn = 89,
  DMA2D_IRQn = 90,
  SAI2_IRQn = 91,
  QUADSPI_IRQn = 92
} IRQn_Type;

#define __NVIC_PRIO_BITS 4U

/* ---- Core peripherals ---- */

typedef struct {
  __IO uint32_t CPUID, ICSR, VTOR, AIRCR, SCR, CCR;
  __IO uint8_t SHPR[12];
  __IO uint32_t SHCSR, CFSR, HFSR, DFSR, MMFAR, BFAR, AFSR;
} SCB_Type;

typedef struct {
  __IO uint32_t CTRL, CYCCNT, CPICNT, EXCCNT, SLEEPCNT, LSUCNT, FOLDCNT, PCSR;
} DWT_Type;

typedef struct {
  __IO uint32_t DHCSR, DCRSR, DCRDR, DEMCR;
} CoreDebug_Type;

typedef struct {
  __IO uint32_t CTRL, LOAD, VAL, CALIB;
} SysTick_Type;

#define DWT_CTRL_CYCCNTENA_Msk (1UL << 0)
#define CoreDebug_DEMCR_TRCENA_Msk (1UL << 24)
#define SCB_SHCSR_MEMFAULTENA_Msk (1UL << 16)
#define SCB_SHCSR_BUSFAULTENA_Msk (1UL << 17)
#define SCB_SHCSR_USGFAULTENA_Msk (1UL << 18)

extern SCB_Type sim_SCB;
extern DWT_Type sim_DWT;
extern CoreDebug_Type sim_CoreDebug;
extern SysTick_Type sim_SysTick;
#define SCB (&sim_SCB)
#define DWT (&sim_DWT)
#define CoreDebug (&sim_CoreDebug)
#define SysTick (&sim_SysTick)

extern uint32_t SystemCoreClock;

/* Core functions. __WFI parks a task that waits for ever: every endless loop of the
 * application sleeps in it. */
void __WFI(void);
void __NOP(void);
void __DSB(void);
void __ISB(void);
void __DMB(void);
void __disable_irq(void);
void __enable_irq(void);
uint32_t __get_MSP(void);
uint32_t __get_PSP(void);
/* Handler mode: the number of the active exception; 0 in thread mode. */
uint32_t __get_IPSR(void);
void SCB_EnableICache(void);
void SCB_EnableDCache(void);
void SCB_DisableICache(void);
void SCB_DisableDCache(void);
void SCB_CleanDCache(void);
void SCB_CleanDCache_by_Addr(uint32_t* addr, int32_t dsize);
void SCB_InvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize);
void SCB_CleanInvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize);
uint32_t SysTick_Config(uint32_t ticks);
void NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
uint32_t NVIC_GetPriorityGrouping(void);
void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority);
uint32_t NVIC_GetPriority(IRQn_Type IRQn);
void NVIC_EnableIRQ(IRQn_Type IRQn);
void NVIC_DisableIRQ(IRQn_Type IRQn);
void NVIC_SystemReset(void);

/* ---- Device peripherals ---- */

typedef struct {
  __IO uint32_t MODER, OTYPER, OSPEEDR, PUPDR, IDR, ODR, BSRR, LCKR, AFR[2];
} GPIO_TypeDef;

typedef struct {
  __IO uint32_t CR1, CR2, SMCR, DIER, SR, EGR, CCMR1, CCMR2, CCER, CNT, PSC, ARR, RCR, CCR1, CCR2,
      CCR3, CCR4, BDTR, DCR, DMAR, OR, CCMR3, CCR5, CCR6;
} TIM_TypeDef;

typedef struct {
  __IO uint32_t CR1, CR2, CR3, BRR, GTPR, RTOR, RQR, ISR, ICR, RDR, TDR;
} USART_TypeDef;

typedef struct {
  __IO uint32_t TR, DR, CR, ISR, PRER, WUTR, reserved, ALRMAR, ALRMBR, WPR, SSR, SHIFTR, TSTR, TSDR,
      TSSSR, CALR, TAMPCR, ALRMASSR, ALRMBSSR, OR, BKP0R, BKP1R, BKP2R, BKP3R, BKP4R;
} RTC_TypeDef;

typedef struct {
  __IO uint32_t CR1, CR2, SR, DR, CRCPR, RXCRCR, TXCRCR, I2SCFGR, I2SPR;
} SPI_TypeDef;

typedef struct {
  __IO uint32_t SR, CR1, CR2, SMPR1, SMPR2, JOFR1, JOFR2, JOFR3, JOFR4, HTR, LTR, SQR1, SQR2, SQR3,
      JSQR, JDR1, JDR2, JDR3, JDR4, DR;
} ADC_TypeDef;

typedef struct {
  __IO uint32_t CR, NDTR, PAR, M0AR, M1AR, FCR;
} DMA_Stream_TypeDef;

typedef struct {
  __IO uint32_t SSCR, BPCR, AWCR, TWCR, GCR, SRCR, BCCR, IER, ISR, ICR, LIPCR, CPSR, CDSR;
} LTDC_TypeDef;

typedef struct {
  __IO uint32_t CR, ISR, IFCR, FGMAR, FGOR, BGMAR, BGOR, FGPFCCR, FGCOLR, BGPFCCR, BGCOLR, FGCMAR,
      BGCMAR, OPFCCR, OCOLR, OMAR, OOR, NLR, LWR, AMTCR;
} DMA2D_TypeDef;

typedef struct {
  __IO uint32_t GCR;
} SAI_TypeDef;

typedef struct {
  __IO uint32_t CR, SR, DR;
} QUADSPI_TypeDef;

typedef struct {
  __IO uint32_t GOTGCTL;
} USB_OTG_GlobalTypeDef;

#define TIM_SR_UIF (1UL << 0)
#define TIM_DIER_UIE (1UL << 0)
#define TIM_CR1_CEN (1UL << 0)
#define TIM_CR1_ARPE (1UL << 7)
#define TIM_SMCR_SMS (7UL << 0)
#define TIM_DIER_CC1DE (1UL << 9)
#define TIM_CCMR1_OC1M (7UL << 4)
#define TIM_CCER_CC1E (1UL << 0)
#define TIM_CCER_CC1P (1UL << 1)
#define TIM_CCER_CC2E (1UL << 4)
#define TIM_CCER_CC2P (1UL << 5)

/* DMA controllers: interrupt status and flag clear registers of streams 0-3 (low) and 4-7
 * (high). A stream's flags are FEIF (bit 0), DMEIF (2), TEIF (3), HTIF (4), TCIF (5), shifted
 * by 0, 6, 16 or 22 for the stream's place in its register. */
typedef struct {
  __IO uint32_t LISR, HISR, LIFCR, HIFCR;
} DMA_TypeDef;
#define DMA_SxCR_EN (1UL << 0)
#define DMA_SxCR_TEIE (1UL << 2)
#define DMA_SxCR_HTIE (1UL << 3)
#define DMA_SxCR_TCIE (1UL << 4)
#define DMA_HISR_TCIF4 (1UL << 5)
#define DMA_HIFCR_CTCIF4 (1UL << 5)
extern DMA_TypeDef sim_DMA1;
extern DMA_TypeDef sim_DMA2;
#define DMA1 (&sim_DMA1)
#define DMA2 (&sim_DMA2)

#define ADC_SR_EOC (1UL << 1)
#define ADC_CR2_ADON (1UL << 0)
#define ADC_CR2_CONT (1UL << 1)
#define ADC_CR2_SWSTART (1UL << 30)

#define USART_ISR_RXNE (1UL << 5)
#define USART_ISR_TXE (1UL << 7)
#define USART_ISR_TC (1UL << 6)
#define USART_CR1_UE (1UL << 0)
#define USART_CR1_RXNEIE (1UL << 5)
#define USART_CR1_TCIE (1UL << 6)
#define USART_CR1_TXEIE (1UL << 7)

extern GPIO_TypeDef sim_GPIO[11];
#define GPIOA (&sim_GPIO[0])
#define GPIOB (&sim_GPIO[1])
#define GPIOC (&sim_GPIO[2])
#define GPIOD (&sim_GPIO[3])
#define GPIOE (&sim_GPIO[4])
#define GPIOF (&sim_GPIO[5])
#define GPIOG (&sim_GPIO[6])
#define GPIOH (&sim_GPIO[7])
#define GPIOI (&sim_GPIO[8])
#define GPIOJ (&sim_GPIO[9])
#define GPIOK (&sim_GPIO[10])

extern TIM_TypeDef sim_TIM[15];
#define TIM1 (&sim_TIM[1])
#define TIM2 (&sim_TIM[2])
#define TIM3 (&sim_TIM[3])
#define TIM4 (&sim_TIM[4])
#define TIM5 (&sim_TIM[5])
#define TIM6 (&sim_TIM[6])
#define TIM7 (&sim_TIM[7])
#define TIM8 (&sim_TIM[8])

extern USART_TypeDef sim_USART[9];
#define USART1 (&sim_USART[1])
#define USART6 (&sim_USART[6])

extern RTC_TypeDef sim_RTC;
#define RTC (&sim_RTC)

extern SPI_TypeDef sim_SPI[7];
#define SPI2 (&sim_SPI[2])

extern ADC_TypeDef sim_ADC[4];
#define ADC3 (&sim_ADC[3])

extern DMA_Stream_TypeDef sim_DMA1_Stream[8];
extern DMA_Stream_TypeDef sim_DMA2_Stream[8];
#define DMA1_Stream4 (&sim_DMA1_Stream[4])
#define DMA2_Stream4 (&sim_DMA2_Stream[4])
#define DMA2_Stream7 (&sim_DMA2_Stream[7])

extern LTDC_TypeDef sim_LTDC;
#define LTDC (&sim_LTDC)
extern DMA2D_TypeDef sim_DMA2D;
#define DMA2D (&sim_DMA2D)
extern SAI_TypeDef sim_SAI2;
#define SAI2 (&sim_SAI2)
/* The two audio blocks of SAI2: A sends to the codec, B receives from it. */
typedef struct {
  __IO uint32_t CR1, CR2, FRCR, SLOTR, IMR, SR, CLRFR, DR;
} SAI_Block_TypeDef;
#define SAI_xCR1_SAIEN (1UL << 16)
#define SAI_xCR1_DMAEN (1UL << 17)
extern SAI_Block_TypeDef sim_SAI2_Block_A;
extern SAI_Block_TypeDef sim_SAI2_Block_B;
#define SAI2_Block_A (&sim_SAI2_Block_A)
#define SAI2_Block_B (&sim_SAI2_Block_B)
extern QUADSPI_TypeDef sim_QUADSPI;
#define QUADSPI (&sim_QUADSPI)
extern USB_OTG_GlobalTypeDef sim_USB_OTG_FS;
#define USB_OTG_FS (&sim_USB_OTG_FS)

#ifdef __cplusplus
}
#endif

#endif
