#include "volume.h"

Volume::Volume() { timerHandle.Instance = TIM8; }

void Volume::setMax(int16_t max) {
  maxVal.store(max, std::memory_order_relaxed);
  const int16_t ceiling = max < MAX_STEP ? max : MAX_STEP;
  if (currentVal.load(std::memory_order_relaxed) > ceiling) {
    currentVal.store(ceiling, std::memory_order_relaxed);
  }
}

bool Volume::init() {
  maxVal.store(MAX_STEP, std::memory_order_relaxed);
  __HAL_RCC_TIM8_CLK_ENABLE();
  __HAL_RCC_GPIOC_CLK_ENABLE();
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_6 | GPIO_PIN_7;
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_PULLUP;
  gpio.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
  gpio.Alternate = GPIO_AF3_TIM8;
  HAL_GPIO_Init(GPIOC, &gpio);

  timerHandle.Instance = TIM8;
  timerHandle.Init.Prescaler = 0;
  timerHandle.Init.CounterMode = TIM_COUNTERMODE_UP;
  timerHandle.Init.Period = 65535;
  timerHandle.Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
  timerHandle.Init.RepetitionCounter = 0;
  timerConfig.EncoderMode = TIM_ENCODERMODE_TI12;
  timerConfig.IC1Polarity = TIM_ICPOLARITY_RISING;
  timerConfig.IC1Selection = TIM_ICSELECTION_DIRECTTI;
  timerConfig.IC1Prescaler = TIM_ICPSC_DIV1;
  timerConfig.IC1Filter = 0;
  timerConfig.IC2Polarity = TIM_ICPOLARITY_FALLING;
  timerConfig.IC2Selection = TIM_ICSELECTION_DIRECTTI;
  timerConfig.IC2Prescaler = TIM_ICPSC_DIV1;
  timerConfig.IC2Filter = 0;
  const bool ok = HAL_TIM_Encoder_Init(&timerHandle, &timerConfig) == HAL_OK;
  (void)HAL_TIM_Encoder_Start(&timerHandle, TIM_CHANNEL_ALL);
  return ok;
}

void Volume::seed(uint8_t step) {
  __HAL_TIM_SET_COUNTER(&timerHandle, 0);
  __HAL_TIM_SET_COUNTER(&timerHandle, step * static_cast<uint32_t>(COUNTS_PER_STEP));
  currentVal.store(step, std::memory_order_relaxed);
}

bool Volume::poll(int16_t& step) {
  const auto count = static_cast<int16_t>(__HAL_TIM_GET_COUNTER(&timerHandle));
  const int16_t max = maxVal.load(std::memory_order_relaxed);
  const int16_t top = static_cast<int16_t>((max < 0 ? 0 : max) * COUNTS_PER_STEP);
  int16_t clamped = count;
  if (clamped < 0) {
    clamped = 0;
    __HAL_TIM_SET_COUNTER(&timerHandle, 0);
  } else if (clamped > top) {
    clamped = top;
    __HAL_TIM_SET_COUNTER(&timerHandle, static_cast<uint16_t>(top));
  }
  step = static_cast<int16_t>(clamped / COUNTS_PER_STEP);
  if (step == currentVal.load(std::memory_order_relaxed)) return false;
  currentVal.store(step, std::memory_order_relaxed);
  return true;
}
