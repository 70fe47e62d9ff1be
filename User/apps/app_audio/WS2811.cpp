#include "WS2811.h"

#include "singleton.h"

namespace {

// The encoding of one colour byte, most significant bit first.
uint16_t* encodeByte(uint16_t* out, uint8_t value) {
  for (int bit = 7; bit >= 0; --bit) {
    *out++ = (value >> bit) & 1U ? Ws2811::WS2811_PWM_ONE : Ws2811::WS2811_PWM_ZERO;
  }
  return out;
}

}  // namespace

Ws2811::Ws2811() { updateLED(); }

void Ws2811::updateLED() {
  if (dma_busy.load(std::memory_order_relaxed)) return;

  for (uint16_t i = 0; i < WS2811_FRAMEBUF_LEN; ++i) {
    const bool data = i >= WS2811_RESET_LEN && i < WS2811_RESET_LEN + WS2811_FRAMEBUF_LED_LEN;
    framebuffer[i] = data ? WS2811_PWM_ZERO : 0;
  }

  __HAL_RCC_TIM3_CLK_ENABLE();
  __HAL_RCC_DMA1_CLK_ENABLE();
  setGpioAlternative(false);

  // TIM3: one bit a period of 181 clocks of the 100 MHz timer clock (1.81 us).
  htim3.Instance = TIM3;
  htim3.Init.Prescaler = 0;
  htim3.Init.CounterMode = TIM_COUNTERMODE_UP;
  htim3.Init.Period = WS2811_PWM_PERIOD;
  htim3.Init.ClockDivision = TIM_CLOCKDIVISION_DIV4;
  htim3.Init.RepetitionCounter = 0;
  htim3.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;
  bool ready = HAL_TIM_PWM_Init(&htim3) == HAL_OK;
  TIM_ClockConfigTypeDef clock = {};
  clock.ClockSource = TIM_CLOCKSOURCE_INTERNAL;
  ready = ready && HAL_TIM_ConfigClockSource(&htim3, &clock) == HAL_OK;
  TIM_MasterConfigTypeDef master = {};
  master.MasterOutputTrigger = TIM_TRGO_RESET;
  master.MasterSlaveMode = TIM_MASTERSLAVEMODE_DISABLE;
  ready = ready && HAL_TIMEx_MasterConfigSynchronization(&htim3, &master) == HAL_OK;
  TIM_OC_InitTypeDef oc = {};
  oc.OCMode = TIM_OCMODE_PWM1;
  oc.Pulse = 0;
  oc.OCPolarity = TIM_OCPOLARITY_HIGH;
  oc.OCFastMode = TIM_OCFAST_DISABLE;
  ready = ready && HAL_TIM_PWM_ConfigChannel(&htim3, &oc, TIM_CHANNEL_1) == HAL_OK;
  htim3.Instance->CR1 |= TIM_CR1_ARPE;

  // DMA1 stream 4, channel 5: the TIM3 channel 1 request; one half-word a period.
  hdma.Instance = DMA1_Stream4;
  hdma.Init.Channel = DMA_CHANNEL_5;
  hdma.Init.Direction = DMA_MEMORY_TO_PERIPH;
  hdma.Init.PeriphInc = DMA_PINC_DISABLE;
  hdma.Init.MemInc = DMA_MINC_ENABLE;
  hdma.Init.PeriphDataAlignment = DMA_PDATAALIGN_HALFWORD;
  hdma.Init.MemDataAlignment = DMA_MDATAALIGN_HALFWORD;
  hdma.Init.Mode = DMA_NORMAL;
  hdma.Init.Priority = DMA_PRIORITY_HIGH;
  hdma.Init.FIFOMode = DMA_FIFOMODE_DISABLE;
  hdma.Init.FIFOThreshold = DMA_FIFO_THRESHOLD_FULL;
  hdma.Init.MemBurst = DMA_MBURST_SINGLE;
  hdma.Init.PeriphBurst = DMA_PBURST_SINGLE;
  ready = ready && HAL_DMA_Init(&hdma) == HAL_OK;
  __HAL_LINKDMA(&htim3, hdma[TIM_DMA_ID_CC1], hdma);
  HAL_NVIC_SetPriority(DMA1_Stream4_IRQn, 0, 0);
  HAL_NVIC_EnableIRQ(DMA1_Stream4_IRQn);
  if (!ready) return;  // the chain keeps its colours until a later update gets through

  // Wire order blue, red, green; LED 0 first.
  uint16_t* out = framebuffer + WS2811_RESET_LEN;
  for (const color& led : LEDs) {
    out = encodeByte(out, led.blue.load(std::memory_order_relaxed));
    out = encodeByte(out, led.red.load(std::memory_order_relaxed));
    out = encodeByte(out, led.green.load(std::memory_order_relaxed));
  }

  bool idle = false;
  if (!dma_busy.compare_exchange_strong(idle, true, std::memory_order_relaxed)) return;
  setGpioAlternative(true);
  if (HAL_TIM_PWM_Start_DMA(&htim3, TIM_CHANNEL_1, reinterpret_cast<const uint32_t*>(framebuffer),
                            WS2811_FRAMEBUF_LEN) != HAL_OK) {
    // No burst runs, so no interrupt will end it: free the driver for the next update.
    setGpioAlternative(false);
    dma_busy.store(false, std::memory_order_relaxed);
  }
}

void Ws2811::setGpioAlternative(bool alternative) {
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_4;
  gpio.Mode = alternative ? GPIO_MODE_AF_PP : GPIO_MODE_OUTPUT_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_HIGH;
  gpio.Alternate = alternative ? GPIO_AF2_TIM3 : 0;
  HAL_GPIO_Init(GPIOB, &gpio);
  HAL_GPIO_WritePin(GPIOB, GPIO_PIN_4, GPIO_PIN_SET);
}

extern "C" void DMA1_Stream4_IRQHandler(void) {
  Ws2811& ws = Singleton<Ws2811>::Instance();
  if ((DMA1->HISR & DMA_HISR_TCIF4) != 0) {
    ws.dma_busy.store(false, std::memory_order_relaxed);
    ws.setGpioAlternative(false);
    (void)HAL_TIM_PWM_Stop_DMA(&ws.htim3, TIM_CHANNEL_1);
  }
  HAL_DMA_IRQHandler(&ws.hdma);
}
