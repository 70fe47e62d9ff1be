// Interrupt and fault handlers of the player. A vector without a handler of its own falls
// to the hard-fault handler, which prints the stacked registers and the fault status.
#include <cstdint>
#include <cstdio>

#include "FreeRtosTimebase.h"
#include "stm32746g_discovery_audio.h"
#include "stm32746g_discovery_qspi.h"
#include "stm32f7xx_hal.h"
#include "usart1.h"

extern LTDC_HandleTypeDef hltdc;
extern DMA2D_HandleTypeDef hdma2d;
extern HCD_HandleTypeDef hhcd;

extern "C" {

// The frame the processor stacked on entry: R0-R3, R12, LR, PC, PSR.
[[noreturn]] __attribute__((used)) void hardFaultPrint(const volatile uint32_t* frame) {
  // No interrupt runs any more: the console sends by polling.
  Usart1::flushPolled();
  printf("\n\n[Hard fault handler - all numbers in hex]\n");
  printf("R0 = %x\n", static_cast<unsigned>(frame[0]));
  printf("R1 = %x\n", static_cast<unsigned>(frame[1]));
  printf("R2 = %x\n", static_cast<unsigned>(frame[2]));
  printf("R3 = %x\n", static_cast<unsigned>(frame[3]));
  printf("R12 = %x\n", static_cast<unsigned>(frame[4]));
  printf("LR [R14] = %x  subroutine call return address\n", static_cast<unsigned>(frame[5]));
  printf("PC [R15] = %x  program counter\n", static_cast<unsigned>(frame[6]));
  printf("PSR = %x\n", static_cast<unsigned>(frame[7]));
  printf("BFAR = %x\n", static_cast<unsigned>(SCB->BFAR));
  printf("CFSR = %x\n", static_cast<unsigned>(SCB->CFSR));
  printf("HFSR = %x\n", static_cast<unsigned>(SCB->HFSR));
  printf("DFSR = %x\n", static_cast<unsigned>(SCB->DFSR));
  printf("AFSR = %x\n", static_cast<unsigned>(SCB->AFSR));
  printf("SCB_SHCSR = %x\n", static_cast<unsigned>(SCB->SHCSR));
  for (;;) __WFI();
}

// Bit 2 of the exception return value in LR says where the frame is: 0 = on the main stack,
// 1 = on the process stack (a thread was running).
#if defined(__arm__) && !defined(__linux__)
// On the chip the stack pointer is read before anything is pushed: a compiled function would
// save registers first and so move the main stack pointer away from the frame.
__attribute__((naked)) void HardFault_Handler(void) {
  __asm volatile(
      "tst lr, #4\n"
      "ite eq\n"
      "mrseq r0, msp\n"
      "mrsne r0, psp\n"
      "b hardFaultPrint\n");
}
#else
// On the simulated board the platform stacks the frame and the stack pointers lead to it.
void HardFault_Handler(void) {
  const auto excReturn =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
  const uint32_t sp = (excReturn & 4U) != 0 ? __get_PSP() : __get_MSP();
  hardFaultPrint(reinterpret_cast<const volatile uint32_t*>(static_cast<uintptr_t>(sp)));
}
#endif

void MemManage_Handler(void) {
  for (;;) __WFI();
}
void BusFault_Handler(void) {
  for (;;) __WFI();
}
void UsageFault_Handler(void) {
  for (;;) __WFI();
}
void DebugMon_Handler(void) {
  for (;;) __WFI();
}

void SysTick_Handler(void) { HAL_IncTick(); }
void TIM6_DAC_IRQHandler(void) { HAL_TIM_IRQHandler(&htim6); }
void LTDC_IRQHandler(void) { HAL_LTDC_IRQHandler(&hltdc); }
void DMA2D_IRQHandler(void) { HAL_DMA2D_IRQHandler(&hdma2d); }
void QUADSPI_IRQHandler(void) { HAL_QSPI_IRQHandler(&QSPIHandle); }
void OTG_FS_IRQHandler(void) { HAL_HCD_IRQHandler(&hhcd); }
// Audio out (SAI2 block A) and the unused audio in (block B): their DMA streams.
void DMA2_Stream4_IRQHandler(void) { HAL_DMA_IRQHandler(haudio_out_sai.hdmatx); }
void DMA2_Stream7_IRQHandler(void) { HAL_DMA_IRQHandler(haudio_in_sai.hdmarx); }
void EXTI9_5_IRQHandler(void) { HAL_GPIO_EXTI_IRQHandler(GPIO_PIN_8); }
void HAL_GPIO_EXTI_Callback(uint16_t pin) { (void)pin; }

// The console is output only: a received byte is read and dropped. The library's handler
// sends the queued console output.
void USART1_IRQHandler(void) {
  USART_TypeDef* u = Usart1::huart.Instance;
  if ((u->ISR & USART_ISR_RXNE) != 0) (void)u->RDR;
  HAL_UART_IRQHandler(&Usart1::huart);
}

}  // extern "C"
