// The board models of the human I/O on their own, driven through the chip support library
// as a firmware would, where the firmware's own use of them does not show what they do: the
// WS2811 chain behind TIM3 and DMA1 set up wrongly or cut short, the knob on TIM8 in other
// encoder modes, the light sensor's conversion time on ADC3. (Their use by the firmware:
// test_humanio.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "humanio_board.h"
#include "simhal.h"
#include "task.h"
#include "ws2811_chain.h"

// The application hooks the kernel calls.
extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }
extern "C" void SysTick_Handler(void) { HAL_IncTick(); }
// The clock set-up's failure path.
extern "C" [[noreturn]] void Error_Handler(void) { simk::halt("ErrorHandler"); }

namespace {

using boardtest::note;
using humaniotest::boardClocks;

// The interrupt that ends a burst, as a firmware would have it.
DMA_HandleTypeDef dma;
TIM_HandleTypeDef pwm;

}  // namespace

extern "C" void DMA1_Stream4_IRQHandler(void) {
  note("transfer complete at " + std::to_string(simk::now()) + " ns");
  (void)HAL_TIM_PWM_Stop_DMA(&pwm, TIM_CHANNEL_1);
  HAL_DMA_IRQHandler(&dma);
}

namespace {

// Sends `values` as one burst on TIM3 channel 1 through DMA1 stream 4 on `channel`, with PB4
// switched to the timer when `wired`.
void burst(const std::vector<uint16_t>& values, uint32_t channel, bool wired) {
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_4;
  gpio.Mode = wired ? GPIO_MODE_AF_PP : GPIO_MODE_OUTPUT_PP;
  gpio.Alternate = GPIO_AF2_TIM3;
  HAL_GPIO_Init(GPIOB, &gpio);
  pwm.Instance = TIM3;
  pwm.Init.Period = 180;
  (void)HAL_TIM_PWM_Init(&pwm);
  TIM_OC_InitTypeDef oc = {};
  oc.OCMode = TIM_OCMODE_PWM1;
  (void)HAL_TIM_PWM_ConfigChannel(&pwm, &oc, TIM_CHANNEL_1);
  dma.Instance = DMA1_Stream4;
  dma.Init.Channel = channel;
  dma.Init.Direction = DMA_MEMORY_TO_PERIPH;
  dma.Init.MemInc = DMA_MINC_ENABLE;
  dma.Init.PeriphDataAlignment = DMA_PDATAALIGN_HALFWORD;
  dma.Init.MemDataAlignment = DMA_MDATAALIGN_HALFWORD;
  (void)HAL_DMA_Init(&dma);
  __HAL_LINKDMA(&pwm, hdma[TIM_DMA_ID_CC1], dma);
  HAL_NVIC_EnableIRQ(DMA1_Stream4_IRQn);
  static std::vector<uint16_t> memory;
  memory = values;
  const HAL_StatusTypeDef started =
      HAL_TIM_PWM_Start_DMA(&pwm, TIM_CHANNEL_1, reinterpret_cast<const uint32_t*>(memory.data()),
                            static_cast<uint16_t>(memory.size()));
  note("start " + std::to_string(started) + " at " + std::to_string(simk::now()) + " ns");
}

// Compare values: a reset gap, then for each colour byte its bits (1 = 80, 0 = 30), then a gap.
std::vector<uint16_t> frame(const std::vector<uint8_t>& bytes) {
  std::vector<uint16_t> v(30, 0);
  for (uint8_t byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) v.push_back((byte >> bit) & 1 ? 80 : 30);
  }
  v.insert(v.end(), 30, 0);
  return v;
}

// A board whose scheduled actions run for `duration` (a task keeps it alive).
boardtest::Result board(const std::function<void()>& setup, simk::Time duration = 5 * simk::kMs) {
  boardtest::Options o;
  o.duration = duration;
  return boardtest::run(
      [&] {
        setup();
        xTaskCreate(
            [](void*) {
              for (;;) vTaskDelay(1);
            },
            "idle-user", 256, nullptr, 1, nullptr);
      },
      o);
}

std::string shown() {
  std::string out;
  for (const auto& c : simws2811::colours()) {
    out += std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " ";
  }
  return out;
}

TEST(Ws2811Chain, NeedsTheRightStreamChannelAndThePinOnTheTimer) {
  // The TIM3 channel 1 request is on channel 5 of the stream: channel 3 never moves a value.
  auto wrongChannel = board([] {
    boardClocks();
    burst(frame({1, 2, 3}), DMA_CHANNEL_3, true);
    humaniotest::at(1 * simk::kMs, [] { note("shown " + shown()); });
  });
  EXPECT_EQ(wrongChannel.notes, "start 0 at 0 ns\nshown 0,0,0 0,0,0 0,0,0 \n");
  EXPECT_EQ(wrongChannel.trace.find("\"leds\""), std::string::npos);

  // With PB4 a plain output the burst runs, but the chain sees none of it.
  auto unwired = board([] {
    boardClocks();
    burst(frame({1, 2, 3}), DMA_CHANNEL_5, false);
    humaniotest::at(1 * simk::kMs, [] { note("shown " + shown()); });
  });
  EXPECT_NE(unwired.notes.find("transfer complete"), std::string::npos);
  EXPECT_NE(unwired.notes.find("shown 0,0,0 0,0,0 0,0,0"), std::string::npos);
}

TEST(Ws2811Chain, AnLedLatchesOnlyWhenItHasAllItsBitsAndTheLineRests) {
  auto r = board([] {
    boardClocks();
    // LED 0 complete, LED 1 only 16 of its bits, then a gap.
    burst(frame({9, 8, 7, 6, 5}), DMA_CHANNEL_5, true);
    humaniotest::at(1 * simk::kMs, [] {
      note("shown " + shown());
      // No trailing gap: the data waits for the next reset.
      std::vector<uint16_t> noGap = frame({1, 2, 3});
      noGap.resize(noGap.size() - 30);
      burst(noGap, DMA_CHANNEL_5, true);
    });
    humaniotest::at(2 * simk::kMs, [] { note("shown " + shown()); });
  });
  EXPECT_EQ(r.notes,
            "start 0 at 0 ns\ntransfer complete at 181000 ns\nshown 8,7,9 0,0,0 0,0,0 \n"
            "start 0 at 1000000 ns\ntransfer complete at 1097740 ns\nshown 8,7,9 0,0,0 0,0,0 \n");
}

// TIM8 in encoder mode as the volume knob's firmware sets it up.
void encoder(uint32_t mode, uint32_t ic2Polarity) {
  TIM_HandleTypeDef h = {};
  h.Instance = TIM8;
  h.Init.Period = 65535;
  TIM_Encoder_InitTypeDef e = {};
  e.EncoderMode = mode;
  e.IC1Polarity = TIM_ICPOLARITY_RISING;
  e.IC1Selection = TIM_ICSELECTION_DIRECTTI;
  e.IC2Polarity = ic2Polarity;
  e.IC2Selection = TIM_ICSELECTION_DIRECTTI;
  (void)HAL_TIM_Encoder_Init(&h, &e);
  (void)HAL_TIM_Encoder_Start(&h, TIM_CHANNEL_ALL);
}

TEST(Knob, DirectionAndCountsFollowTheEncoderSetUp) {
  auto r = board([] {
    encoder(TIM_ENCODERMODE_TI12, TIM_ICPOLARITY_RISING);  // neither input inverted
    simboard::turn(1);
    note(std::to_string(TIM8->CNT));
    encoder(TIM_ENCODERMODE_TI1, TIM_ICPOLARITY_FALLING);  // one input's edges only
    simboard::turn(3);
    note(std::to_string(TIM8->CNT));
  });
  EXPECT_EQ(r.notes, "65532\n6\n");
}

TEST(LightSensor, AdcThreeChannelSevenReadsTheLightOnceAConversionHasEnded) {
  auto r = board([] {
    boardClocks();
    simboard::setLight(5000);  // beyond 12 bits: the sensor gives its most
    static ADC_HandleTypeDef adc = {};
    adc.Instance = ADC3;
    adc.Init.ClockPrescaler = ADC_CLOCK_SYNC_PCLK_DIV4;
    adc.Init.ContinuousConvMode = ENABLE;
    adc.Init.NbrOfConversion = 1;
    (void)HAL_ADC_Init(&adc);
    ADC_ChannelConfTypeDef ch = {ADC_CHANNEL_7, 1, ADC_SAMPLETIME_112CYCLES, 0};
    (void)HAL_ADC_ConfigChannel(&adc, &ch);
    (void)HAL_ADC_Start(&adc);
    note(std::to_string(HAL_ADC_GetValue(&adc)));
    // 124 cycles of the 25 MHz converter clock: 4.96 us.
    humaniotest::at(4959, [] { note(std::to_string(HAL_ADC_GetValue(&adc))); });
    humaniotest::at(4960, [] {
      note(std::to_string(HAL_ADC_GetValue(&adc)));
      simboard::setLight(1234);
      note(std::to_string(HAL_ADC_GetValue(&adc)));
    });
  });
  EXPECT_EQ(r.notes, "0\n0\n4095\n1234\n");
}

}  // namespace
