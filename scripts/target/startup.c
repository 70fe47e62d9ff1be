/* Start-up of the firmware as the link check builds it, in the place of the chip's start-up
 * file: the vector table and the reset handler. The reset handler loads .data, clears .bss,
 * .DtcmRamData and, once SystemInit has set up the SDRAM controller, .SdRamData, runs the
 * static constructors and calls main. Every vector without a handler of the firmware's own
 * goes to its hard-fault handler. The interrupt numbers are the device header's. */
#include <stdint.h>

#include "stm32f7xx.h"

extern uint32_t _estack, _sidata, _sdata, _edata, _sbss, _ebss;
extern uint32_t _sDtcmRamData, _eDtcmRamData, _sSdRamData, _eSdRamData;

int main(void);
void SystemInit(void);
void __libc_init_array(void);
void HardFault_Handler(void);
void Reset_Handler(void);

/* Falls to the hard-fault handler with the exception return value still in LR. */
__attribute__((naked)) void Default_Handler(void) { __asm volatile("b HardFault_Handler"); }

/* clang-format off */
#define CORE_VECTORS(X)                                                              \
  X(NMI_Handler, NonMaskableInt_IRQn) X(MemManage_Handler, MemoryManagement_IRQn)    \
  X(BusFault_Handler, BusFault_IRQn) X(UsageFault_Handler, UsageFault_IRQn)          \
  X(SVC_Handler, SVCall_IRQn) X(DebugMon_Handler, DebugMonitor_IRQn)                 \
  X(PendSV_Handler, PendSV_IRQn) X(SysTick_Handler, SysTick_IRQn)

#define IRQS(X)                                                                          \
  X(WWDG) X(PVD) X(TAMP_STAMP) X(RTC_WKUP) X(FLASH) X(RCC) X(EXTI0) X(EXTI1) X(EXTI2)    \
  X(EXTI3) X(EXTI4) X(DMA1_Stream0) X(DMA1_Stream1) X(DMA1_Stream2) X(DMA1_Stream3)      \
  X(DMA1_Stream4) X(DMA1_Stream5) X(DMA1_Stream6) X(ADC) X(EXTI9_5) X(TIM1_BRK_TIM9)     \
  X(TIM1_UP_TIM10) X(TIM1_TRG_COM_TIM11) X(TIM1_CC) X(TIM2) X(TIM3) X(TIM4) X(SPI1)      \
  X(SPI2) X(USART1) X(USART2) X(USART3) X(EXTI15_10) X(RTC_Alarm) X(TIM8_BRK_TIM12)      \
  X(TIM8_UP_TIM13) X(TIM8_TRG_COM_TIM14) X(TIM8_CC) X(DMA1_Stream7) X(TIM5) X(TIM6_DAC)  \
  X(TIM7) X(DMA2_Stream0) X(DMA2_Stream1) X(DMA2_Stream2) X(DMA2_Stream3)                \
  X(DMA2_Stream4) X(ETH) X(OTG_FS) X(DMA2_Stream5) X(DMA2_Stream6) X(DMA2_Stream7)       \
  X(USART6) X(LTDC) X(LTDC_ER) X(DMA2D) X(SAI2) X(QUADSPI)
/* clang-format on */

#define DECLARE_CORE(name, irq) void name(void) __attribute__((weak, alias("Default_Handler")));
#define DECLARE_IRQ(name) \
  void name##_IRQHandler(void) __attribute__((weak, alias("Default_Handler")));
CORE_VECTORS(DECLARE_CORE)
IRQS(DECLARE_IRQ)

typedef void (*Vector)(void);
#define CORE_ENTRY(name, irq) [16 + (irq)] = name,
#define IRQ_ENTRY(name) [16 + name##_IRQn] = name##_IRQHandler,

/* 16 core vectors and the STM32F746's 98 interrupts. */
__attribute__((used, section(".isr_vector")))
const Vector vectorTable[16 + 98] = {[2 ... 16 + 97] = Default_Handler,
                                     [0] = (Vector)&_estack,
                                     [1] = Reset_Handler,
                                     [16 + HardFault_IRQn] = HardFault_Handler,
                                     CORE_VECTORS(CORE_ENTRY) IRQS(IRQ_ENTRY)};

/* What the compiler's start files would define: the handle of the program for the
 * destructors that static objects register. */
void* __dso_handle = 0;

static void clear(uint32_t* from, const uint32_t* to) {
  while (from < to) *from++ = 0;
}

__attribute__((noreturn)) void Reset_Handler(void) {
  const uint32_t* src = &_sidata;
  for (uint32_t* dst = &_sdata; dst < &_edata;) *dst++ = *src++;
  clear(&_sbss, &_ebss);
  clear(&_sDtcmRamData, &_eDtcmRamData);
  SystemInit();
  clear(&_sSdRamData, &_eSdRamData);
  __libc_init_array();
  (void)main();
  for (;;) {
  }
}
