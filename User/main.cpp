// The player's start-up: clocks, caches, flash, kernel tick, clock, console, the USB stick
// service and the main thread, then the scheduler.
#include "main.h"

#include <cstdio>

#include "FreeRtosTimebase.h"
#include "MainAudio.h"
#include "cmsis_os.h"
#include "cpp_freertos/thread.hpp"
#include "irq_prio.h"
#include "k_rtc.h"
#include "k_storage.h"
#include "stm32746g_discovery_lcd.h"
#include "stm32746g_discovery_qspi.h"
#include "stm32f7xx_hal.h"
#include "system_clock.h"
#include "task.h"
#include "touchgfx_board.h"
#include "usart1.h"

namespace {

void backlightOn() {
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_3;
  gpio.Mode = GPIO_MODE_OUTPUT_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_LOW;
  HAL_GPIO_Init(GPIOK, &gpio);
  HAL_GPIO_WritePin(GPIOK, GPIO_PIN_3, GPIO_PIN_SET);
}

}  // namespace

// The graphics assets are read in place from the quad-SPI flash.
void stm32f7DiscoInit() {
  if (BSP_QSPI_Init() != QSPI_OK) Error_Handler();
  if (BSP_QSPI_EnableMemoryMappedMode() != QSPI_OK) Error_Handler();
}

int main(void) {
  CoreDebug->DEMCR |= CoreDebug_DEMCR_TRCENA_Msk;
  DWT->CYCCNT = 0;
  DWT->CTRL |= DWT_CTRL_CYCCNTENA_Msk;

  HAL_MPU_Disable();
  SystemClock_Config();
  HAL_NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
  SCB_EnableICache();
  SCB_EnableDCache();
  HAL_Init();

  __HAL_RCC_GPIOA_CLK_ENABLE();
  __HAL_RCC_GPIOB_CLK_ENABLE();
  __HAL_RCC_GPIOC_CLK_ENABLE();
  __HAL_RCC_GPIOD_CLK_ENABLE();
  __HAL_RCC_GPIOE_CLK_ENABLE();
  __HAL_RCC_GPIOF_CLK_ENABLE();
  __HAL_RCC_GPIOG_CLK_ENABLE();
  __HAL_RCC_GPIOH_CLK_ENABLE();
  __HAL_RCC_GPIOI_CLK_ENABLE();
  __HAL_RCC_GPIOJ_CLK_ENABLE();
  __HAL_RCC_GPIOK_CLK_ENABLE();
  __HAL_RCC_USART1_CLK_ENABLE();
  __HAL_RCC_LTDC_CLK_ENABLE();
  __HAL_RCC_BKPSRAM_CLK_ENABLE();

  stm32f7DiscoInit();
  SystemClock_Config();
  backlightOn();
  freeRtosTimebaseInit();
  k_CalendarBkupInit();
  HAL_NVIC_SetPriority(SysTick_IRQn, irq_prio::MILLI_TICK, 0);

  Usart1::initUsart();
  Usart1::initialized = true;
  puts("Hello World\r");

  k_StorageInit();
  puts("Init done, starting threads.\r");

  osThreadDef(Main_Thread, MainThread, osPriorityNormal, 0, 16384);
  osThreadCreate(osThread(Main_Thread), nullptr);

  cpp_freertos::Thread::StartScheduler();
  for (;;) __WFI();
}

// Display, graphics framework (screens, model and the two GUI queues), the application's
// threads, then the graphics frame loop for ever.
void MainThread(const void* argument) {
  (void)argument;
  BSP_LCD_Init();
  BSP_LCD_Clear(LCD_COLOR_GREEN);
  GRAPHICS_HW_Init();
  GRAPHICS_Init();

  MainApp mainApp;
  mainApp.Start();
  puts("Gui Start\r");

  GRAPHICS_MainTask();
  for (;;) vTaskDelay(5000);
}

void Error_Handler(void) {
  // The device stops here: the console sends by polling.
  Usart1::flushPolled();
  for (;;) {
    printf("ErrorHandler\r");
    __WFI();
  }
}
