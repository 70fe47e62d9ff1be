// The chain of three WS2811 RGB LEDs on one data line (PB4). The colours are kept in a small
// table; one burst sends the whole chain: every data bit is one period of TIM3's PWM output on
// channel 1, and DMA1 stream 4 feeds the compare values, so the processor only prepares the
// buffer. Reached through Singleton<Ws2811>::Instance(); its first use sends all LEDs dark.
#pragma once

#include <atomic>
#include <cstdint>

#include "stm32f7xx_hal.h"

// One LED's colour. Other threads set the bytes directly, without a lock; a colour torn by a
// burst that runs meanwhile shows for one refresh at most.
struct color {
  std::atomic<uint8_t> red{0};
  std::atomic<uint8_t> green{0};
  std::atomic<uint8_t> blue{0};

  void set(uint8_t r, uint8_t g, uint8_t b) {
    red.store(r, std::memory_order_relaxed);
    green.store(g, std::memory_order_relaxed);
    blue.store(b, std::memory_order_relaxed);
  }
};

class Ws2811 {
 public:
  static constexpr uint16_t NR_LEDS = 3;
  static constexpr uint16_t SIZE_OF_LED = 24;         // bits (PWM periods) per LED
  static constexpr uint16_t WS2811_RESET_LEN = 30;    // low periods before and after the data
  static constexpr uint16_t WS2811_PWM_PERIOD = 180;  // auto-reload: a bit is 181 timer clocks
  static constexpr uint16_t WS2811_PWM_ZERO = 30;     // high clocks of a 0 bit
  static constexpr uint16_t WS2811_PWM_ONE = 80;      // high clocks of a 1 bit
  static constexpr uint16_t WS2811_FRAMEBUF_LED_LEN = NR_LEDS * SIZE_OF_LED;
  static constexpr uint16_t WS2811_FRAMEBUF_LEN = WS2811_FRAMEBUF_LED_LEN + 2 * WS2811_RESET_LEN;

  Ws2811();

  // Encodes the colour table and starts a burst; returns at once while a burst is still being
  // sent (that update is dropped: the next one sends the newer colours).
  void updateLED();
  // PB4 as TIM3 channel 1 (true) or as a plain output (false); driven high either way.
  void setGpioAlternative(bool alternative);

  // The compare values of one burst: the entries of LED i start at WS2811_RESET_LEN + 24 i and
  // carry blue, red, green, most significant bit first.
  alignas(4) uint16_t framebuffer[WS2811_FRAMEBUF_LEN] = {};
  color LEDs[NR_LEDS];
  TIM_HandleTypeDef htim3 = {};
  DMA_HandleTypeDef hdma = {};
  // A burst is being sent; shared with the DMA interrupt, the only guard of the buffer.
  std::atomic<bool> dma_busy{false};
};

extern "C" void DMA1_Stream4_IRQHandler(void);
