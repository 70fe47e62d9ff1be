#include "dim.h"

#include "stm32746g_discovery_lcd.h"

DimData dimmerData;

bool DimBacklight::init() {
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = LCD_BL_CTRL_PIN;
  gpio.Mode = GPIO_MODE_OUTPUT_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_HIGH;
  HAL_GPIO_Init(LCD_BL_CTRL_GPIO_PORT, &gpio);

  __HAL_RCC_TIM4_CLK_ENABLE();
  htim.Instance = TIM4;
  htim.Init.Prescaler = 0;
  htim.Init.CounterMode = TIM_COUNTERMODE_UP;
  htim.Init.Period = 1000;
  htim.Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
  htim.Init.RepetitionCounter = 0;
  htim.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;
  if (HAL_TIM_Base_Init(&htim) != HAL_OK) return false;
  if (HAL_TIM_Base_Start_IT(&htim) != HAL_OK) return false;
  HAL_NVIC_SetPriority(TIM4_IRQn, 1, 0);
  HAL_NVIC_EnableIRQ(TIM4_IRQn);
  return true;
}

// About 100 000 times a second: a counter, two comparisons and at most one pin write. The
// count (only this interrupt keeps it) is worked out in a register and stored once.
extern "C" void TIM4_IRQHandler(void) {
  static uint32_t tick = 0;
  TIM4->SR = 0;
  uint32_t t = tick + 1;
  if (t >= DIM_MAX) {
    t = 0;
    if (dimmerData.level.load(std::memory_order_relaxed) != 0) {
      HAL_GPIO_WritePin(LCD_BL_CTRL_GPIO_PORT, LCD_BL_CTRL_PIN, GPIO_PIN_SET);
    }
    uint16_t countdown = dimmerData.countdown.load(std::memory_order_relaxed);
    if (countdown != 0) {
      --countdown;
      if (countdown == 1) {
        dimmerData.level.store(dimmerData.nextLevel.load(std::memory_order_relaxed),
                               std::memory_order_relaxed);
        countdown = 0;
      }
      dimmerData.countdown.store(countdown, std::memory_order_relaxed);
    }
  }
  tick = t;
  if (dimmerData.level.load(std::memory_order_relaxed) == t) {
    HAL_GPIO_WritePin(LCD_BL_CTRL_GPIO_PORT, LCD_BL_CTRL_PIN, GPIO_PIN_RESET);
  }
}
