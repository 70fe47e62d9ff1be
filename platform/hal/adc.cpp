// Analogue-to-digital converters ADC1..ADC3: regular conversions started by software, one
// or continuous, of the channel in rank 1.
//
// A conversion takes the sampling time plus one ADC clock per bit of resolution, at the
// APB2 clock divided by the prescaler. While conversions run continuously the data register
// holds the input as it was at the end of the latest conversion; the model reads the input
// when the firmware reads the result (the input changes only at scenario steps, far apart
// compared with a conversion). Before the first conversion has finished the data register
// reads 0, its reset value.
//
// Inputs: what the board's wiring attaches to a converter's channel (attachAdcInput); every
// other channel reads 0. Simplifications: scan sequences, injected channels, interrupts, DMA and
// the analogue watchdog are not modelled; a single conversion takes its input when it is first
// read.
#include <array>
#include <functional>

#include "simhal.h"
#include "simkernel.h"

extern "C" {
ADC_TypeDef sim_ADC[4];
}

namespace {

struct Converter {
  bool initialised = false;
  bool running = false;
  bool continuous = false;
  bool sampled = false;  // single conversion: its result is in DR
  uint32_t channel = 0;  // of rank 1
  uint32_t samplingCycles = 3;
  simk::Time started = 0;
};

std::array<Converter, 4>& converters() {
  static std::array<Converter, 4> c;
  return c;
}

// The sources on each converter's 19 channels.
std::array<std::array<std::function<uint32_t()>, 19>, 4>& inputs() {
  static std::array<std::array<std::function<uint32_t()>, 19>, 4> in;
  return in;
}

int indexOf(const ADC_TypeDef* adc) { return static_cast<int>(adc - sim_ADC); }

bool valid(const ADC_HandleTypeDef* h) {
  if (h == nullptr || h->Instance == nullptr) return false;
  const int i = indexOf(h->Instance);
  return i >= 1 && i <= 3;
}

uint32_t resolutionBits(uint32_t resolution) {
  switch (resolution) {
    case ADC_RESOLUTION_10B: return 10;
    case ADC_RESOLUTION_8B: return 8;
    case ADC_RESOLUTION_6B: return 6;
    default: return 12;
  }
}

simk::Time conversionNs(const ADC_HandleTypeDef* h, const Converter& c) {
  const uint32_t divider = 2 * (((h->Init.ClockPrescaler >> 16) & 3U) + 1);
  const uint64_t clock = simhal::pclk2() / divider;
  const uint64_t cycles = c.samplingCycles + resolutionBits(h->Init.Resolution);
  return clock == 0 ? 0 : cycles * simk::kS / clock;
}

// The 12-bit level at an input.
uint32_t inputLevel(int adc, uint32_t channel) {
  if (channel > ADC_CHANNEL_18 || !inputs()[adc][channel]) return 0;
  const uint32_t level = inputs()[adc][channel]();
  return level > 4095 ? 4095 : level;
}

uint32_t result(const ADC_HandleTypeDef* h, uint32_t level) {
  const uint32_t bits = resolutionBits(h->Init.Resolution);
  uint32_t value = level >> (12 - bits);
  if (h->Init.DataAlign == ADC_DATAALIGN_LEFT) value <<= 16 - bits;
  return value;
}

}  // namespace

namespace simhal {

void attachAdcInput(const ADC_TypeDef* adc, uint32_t channel, std::function<uint32_t()> level) {
  const int i = indexOf(adc);
  if (i >= 1 && i <= 3 && channel <= ADC_CHANNEL_18) inputs()[i][channel] = std::move(level);
}

}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_ADC_MspInit(ADC_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* h) {
  if (!valid(h)) return HAL_ERROR;
  const ADC_InitTypeDef& in = h->Init;
  simhal::record("HAL_ADC_Init",
                 "ADC%d prescaler=0x%X resolution=0x%X scan=%u continuous=%d conversions=%u "
                 "align=0x%X eoc=%u trigger=0x%X edge=0x%X",
                 indexOf(h->Instance), in.ClockPrescaler, in.Resolution, in.ScanConvMode,
                 in.ContinuousConvMode == ENABLE, in.NbrOfConversion, in.DataAlign, in.EOCSelection,
                 in.ExternalTrigConv, in.ExternalTrigConvEdge);
  if (in.NbrOfConversion < 1 || in.NbrOfConversion > 16) return HAL_ERROR;
  if (h->State == HAL_ADC_STATE_RESET) {
    h->Lock = HAL_UNLOCKED;
    HAL_ADC_MspInit(h);
  }
  Converter& c = converters()[indexOf(h->Instance)];
  c = {};
  c.initialised = true;
  c.continuous = in.ContinuousConvMode == ENABLE;
  h->Instance->CR2 = ADC_CR2_ADON | (c.continuous ? ADC_CR2_CONT : 0);
  h->Instance->DR = 0;
  h->ErrorCode = HAL_ADC_ERROR_NONE;
  h->State = HAL_ADC_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* h, ADC_ChannelConfTypeDef* cfg) {
  if (!valid(h) || cfg == nullptr) return HAL_ERROR;
  simhal::record("HAL_ADC_ConfigChannel", "ADC%d channel=%u rank=%u sampling=%u offset=%u",
                 indexOf(h->Instance), cfg->Channel, cfg->Rank, cfg->SamplingTime, cfg->Offset);
  if (cfg->Channel > ADC_CHANNEL_18 || cfg->Rank < 1 || cfg->Rank > 16 || cfg->SamplingTime > 7) {
    return HAL_ERROR;
  }
  static constexpr uint32_t kCycles[8] = {3, 15, 28, 56, 84, 112, 144, 480};
  Converter& c = converters()[indexOf(h->Instance)];
  if (cfg->Rank == 1) {
    c.channel = cfg->Channel;
    c.samplingCycles = kCycles[cfg->SamplingTime];
    h->Instance->SQR3 = cfg->Channel;
  }
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* h) {
  if (!valid(h)) return HAL_ERROR;
  Converter& c = converters()[indexOf(h->Instance)];
  if (!c.initialised) return HAL_ERROR;
  c.running = true;
  c.sampled = false;
  c.started = simk::now();
  h->Instance->CR2 |= ADC_CR2_SWSTART;
  h->State = HAL_ADC_STATE_REG_BUSY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_Stop(ADC_HandleTypeDef* h) {
  if (!valid(h)) return HAL_ERROR;
  converters()[indexOf(h->Instance)].running = false;
  h->Instance->CR2 &= ~(ADC_CR2_ADON | ADC_CR2_SWSTART);
  h->State = HAL_ADC_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* h, uint32_t timeoutMs) {
  if (!valid(h)) return HAL_ERROR;
  const Converter& c = converters()[indexOf(h->Instance)];
  if (!c.running) return HAL_ERROR;
  const simk::Time ready = c.started + conversionNs(h, c);
  if (simk::now() < ready) {
    if (ready - simk::now() > static_cast<simk::Time>(timeoutMs) * simk::kMs) return HAL_TIMEOUT;
    simk::busyWait(ready - simk::now());
  }
  h->Instance->SR |= ADC_SR_EOC;
  return HAL_OK;
}

uint32_t HAL_ADC_GetValue(ADC_HandleTypeDef* h) {
  if (!valid(h)) return 0;
  const int i = indexOf(h->Instance);
  Converter& c = converters()[i];
  ADC_TypeDef* adc = h->Instance;
  const bool finished = c.running && simk::now() >= c.started + conversionNs(h, c);
  if (finished && (c.continuous || !c.sampled)) {
    adc->DR = result(h, inputLevel(i, c.channel));
    c.sampled = true;
  }
  adc->SR &= ~ADC_SR_EOC;
  return adc->DR;
}

}  // extern "C"
