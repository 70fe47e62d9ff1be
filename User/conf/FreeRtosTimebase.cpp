#include "FreeRtosTimebase.h"

#include <atomic>

#include "FreeRTOS.h"
#include "irq_prio.h"
#include "task.h"

TIM_HandleTypeDef htim6;
TIM_HandleTypeDef htim7;

namespace {
// Counted by the TIM7 interrupt, read by the kernel for its statistics. Only the interrupt
// writes it, so a plain load and store count it: no locked read-modify-write 100 000 times a
// second.
std::atomic<unsigned long> runTimeCounter{0};
}  // namespace

// TIM6 on APB1 runs at 100 MHz: (3 + 1) x (49999 + 1) / 100 MHz = 2 ms.
void freeRtosTimebaseInit() {
  __HAL_RCC_TIM6_CLK_ENABLE();
  htim6.Instance = TIM6;
  htim6.Init.Prescaler = 3;
  htim6.Init.CounterMode = TIM_COUNTERMODE_UP;
  htim6.Init.Period = 49999;
  htim6.Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
  htim6.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;
  HAL_NVIC_SetPriority(TIM6_DAC_IRQn, irq_prio::KERNEL_TICK, 0);
  HAL_NVIC_EnableIRQ(TIM6_DAC_IRQn);
  if (HAL_TIM_Base_Init(&htim6) == HAL_OK) {
    HAL_TIM_Base_Start_IT(&htim6);
  }
}

// The kernel port calls this when the scheduler starts, to program its tick timer. The tick
// runs on TIM6 already and SysTick belongs to the chip support library, so nothing is done.
extern "C" void vPortSetupTimerInterrupt(void) {}

// 100 kHz: (3 + 1) x (249 + 1) / 100 MHz.
extern "C" void configureTimerForRunTimeStats(void) {
  __HAL_RCC_TIM7_CLK_ENABLE();
  htim7.Instance = TIM7;
  htim7.Init.Prescaler = 3;
  htim7.Init.CounterMode = TIM_COUNTERMODE_UP;
  htim7.Init.Period = 249;
  htim7.Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
  HAL_NVIC_SetPriority(TIM7_IRQn, irq_prio::RUNTIME_STATS, 0);
  HAL_NVIC_EnableIRQ(TIM7_IRQn);
  if (HAL_TIM_Base_Init(&htim7) == HAL_OK) {
    HAL_TIM_Base_Start_IT(&htim7);
  }
}

extern "C" unsigned long getRunTimeCounterValue(void) {
  return runTimeCounter.load(std::memory_order_relaxed);
}

extern "C" void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim) {
  if (htim->Instance == TIM6) {
    // The kernel tick counts only once the scheduler runs.
    if (xTaskGetSchedulerState() != taskSCHEDULER_NOT_STARTED) xPortSysTickHandler();
  }
}

// 100 000 times a second. A basic timer raises nothing but its update, so the handler clears
// the flag and counts itself, without the chip library's general timer dispatch.
extern "C" void TIM7_IRQHandler(void) {
  if ((TIM7->SR & TIM_SR_UIF) == 0) return;
  TIM7->SR = 0;
  runTimeCounter.store(runTimeCounter.load(std::memory_order_relaxed) + 1,
                       std::memory_order_relaxed);
}
