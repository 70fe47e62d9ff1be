// Timer channels: PWM output with its compare values fed by DMA, and encoder mode.
//
// PWM with DMA: each timer period one compare value moves from memory to the channel's
// compare register; the pin is high for that many timer clocks (PWM mode 1, active high;
// mode 2 and active low invert it). The burst ends after its items' periods: the DMA stream's
// transfer completes and raises its interrupt. The pin's waveform goes to the device the
// board's wiring put on that channel (attachPwmOutput).
//
// The request of a timer channel reaches a DMA stream only on the stream and channel the chip
// wires it to (TIM3 channel 1: DMA1 stream 4, channel 5); on any other stream nothing moves
// and no interrupt comes, as on the chip.
//
// Simplifications: the compare values are read when the burst starts (a change to the memory
// during the burst is not seen); preload, fast mode and the first period's phase are not
// modelled. Encoder mode keeps only the configuration; the knob model moves the counter.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

#include "simdma.h"
#include "simhal.h"
#include "simkernel.h"
#include "simtim.h"

namespace {

int indexOf(const TIM_TypeDef* tim) { return static_cast<int>(tim - sim_TIM); }

unsigned channelIndex(uint32_t channel) { return (channel >> 2) & 3U; }  // 0..3

struct Burst {
  simk::EventId done = 0;
  simk::Time start = 0;
  simk::Time periodNs = 0;
  DMA_HandleTypeDef* dma = nullptr;
  simhal::PwmBurst wave;
};

std::array<std::array<Burst, 4>, 15>& bursts() {
  static std::array<std::array<Burst, 4>, 15> b;
  return b;
}

// The device on each channel's pin.
std::array<std::array<std::function<void(const simhal::PwmBurst&)>, 4>, 15>& outputs() {
  static std::array<std::array<std::function<void(const simhal::PwmBurst&)>, 4>, 15> o;
  return o;
}

// The pin's high time in one period for compare value `ccr`.
uint32_t highClocks(const TIM_TypeDef* tim, unsigned ch, uint32_t ccr) {
  const uint32_t counts = tim->ARR + 1;
  const volatile uint32_t& ccmr = ch < 2 ? tim->CCMR1 : tim->CCMR2;
  const uint32_t mode = (ccmr >> (8 * (ch % 2))) & 0x70U;
  uint32_t high = 0;
  if (mode == TIM_OCMODE_PWM1) {
    high = std::min(ccr, counts);
  } else if (mode == TIM_OCMODE_PWM2) {
    high = counts - std::min(ccr, counts);
  }
  const bool activeLow = (tim->CCER & (TIM_CCER_CC1P << (4 * ch))) != 0;
  if (activeLow) high = counts - high;
  return high * (tim->PSC + 1);
}

// Where each timer channel's DMA request goes: controller, stream and channel of the chip.
struct RequestLine {
  int timer;
  unsigned channel;  // 0..3
  const DMA_Stream_TypeDef* stream;
  unsigned dmaChannel;
};
bool reaches(int timer, unsigned ch, const DMA_Stream_TypeDef* stream) {
  static const RequestLine kLines[] = {
      {3, 0, &sim_DMA1_Stream[4], 5},  // TIM3_CH1
      {3, 1, &sim_DMA1_Stream[5], 5},  // TIM3_CH2
      {3, 2, &sim_DMA1_Stream[7], 5},  // TIM3_CH3
      {3, 3, &sim_DMA1_Stream[2], 5},  // TIM3_CH4
      {4, 0, &sim_DMA1_Stream[0], 2},  // TIM4_CH1
      {4, 1, &sim_DMA1_Stream[3], 2},  // TIM4_CH2
      {4, 2, &sim_DMA1_Stream[7], 2},  // TIM4_CH3
  };
  for (const RequestLine& l : kLines) {
    if (l.timer == timer && l.channel == ch && l.stream == stream &&
        l.dmaChannel == simhal::dmaChannel(stream)) {
      return true;
    }
  }
  return false;
}

// The waveform reaches the device on the channel's pin.
void deliver(const simhal::PwmBurst& wave) {
  auto& device = outputs()[indexOf(wave.tim)][wave.channel - 1];
  if (device) device(wave);
}

void finish(int idx, unsigned ch) {
  Burst& b = bursts()[idx][ch];
  b.done = 0;
  // A stream switched off meanwhile (set up again, aborted) has ended the burst unseen.
  if (!simhal::dmaEnabled(b.dma->Instance)) return;
  deliver(b.wave);
  simhal::dmaTransferComplete(b.dma);
}

const char* polarityName(uint32_t p) {
  switch (p) {
    case TIM_ICPOLARITY_FALLING: return "falling";
    case TIM_ICPOLARITY_BOTHEDGE: return "both";
    default: return "rising";
  }
}

}  // namespace

namespace simhal {

void attachPwmOutput(const TIM_TypeDef* tim, unsigned channel,
                     std::function<void(const PwmBurst&)> device) {
  const int idx = indexOf(tim);
  if (idx >= 0 && idx < 15 && channel >= 1 && channel <= 4) {
    outputs()[idx][channel - 1] = std::move(device);
  }
}

}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_TIM_PWM_MspInit(TIM_HandleTypeDef*) {}
__attribute__((weak)) void HAL_TIM_Encoder_MspInit(TIM_HandleTypeDef*) {}
__attribute__((weak)) void HAL_TIM_PWM_PulseFinishedCallback(TIM_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim, TIM_ClockConfigTypeDef* c) {
  if (htim == nullptr || c == nullptr) return HAL_ERROR;
  simhal::record("HAL_TIM_ConfigClockSource", "TIM%d source=0x%X", indexOf(htim->Instance),
                 c->ClockSource);
  // Only the internal clock is wired on this board.
  if (c->ClockSource != TIM_CLOCKSOURCE_INTERNAL) return HAL_ERROR;
  htim->Instance->SMCR &= ~TIM_SMCR_SMS;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim,
                                                        TIM_MasterConfigTypeDef* m) {
  if (htim == nullptr || m == nullptr) return HAL_ERROR;
  simhal::record("HAL_TIMEx_MasterConfigSynchronization", "TIM%d trgo=0x%X master-slave=%d",
                 indexOf(htim->Instance), m->MasterOutputTrigger,
                 m->MasterSlaveMode == TIM_MASTERSLAVEMODE_ENABLE);
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_PWM_Init(TIM_HandleTypeDef* htim) {
  if (htim == nullptr || htim->Instance == nullptr) return HAL_ERROR;
  TIM_TypeDef* tim = htim->Instance;
  simhal::record("HAL_TIM_PWM_Init", "TIM%d prescaler=%u period=%u division=0x%X", indexOf(tim),
                 htim->Init.Prescaler, htim->Init.Period, htim->Init.ClockDivision);
  if (htim->State == HAL_TIM_STATE_RESET) {
    htim->Lock = HAL_UNLOCKED;
    HAL_TIM_PWM_MspInit(htim);
  }
  // As the library's base set-up does, an update event reloads the counter.
  tim->PSC = htim->Init.Prescaler;
  tim->ARR = htim->Init.Period;
  tim->CNT = 0;
  tim->CR1 = (tim->CR1 & ~(0x300U | TIM_CR1_ARPE)) | htim->Init.ClockDivision |
             htim->Init.AutoReloadPreload;
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_PWM_ConfigChannel(TIM_HandleTypeDef* htim, TIM_OC_InitTypeDef* oc,
                                            uint32_t channel) {
  if (htim == nullptr || oc == nullptr || channel > TIM_CHANNEL_4 || (channel & 3U) != 0) {
    return HAL_ERROR;
  }
  TIM_TypeDef* tim = htim->Instance;
  const unsigned ch = channelIndex(channel);
  simhal::record("HAL_TIM_PWM_ConfigChannel",
                 "TIM%d channel=%u mode=0x%X pulse=%u polarity=%u fast=%u", indexOf(tim), ch + 1,
                 oc->OCMode, oc->Pulse, oc->OCPolarity, oc->OCFastMode);
  volatile uint32_t& ccmr = ch < 2 ? tim->CCMR1 : tim->CCMR2;
  const unsigned shift = 8 * (ch % 2);
  // Output compare mode with its preload (bit 3) and fast mode (bit 2).
  ccmr = (ccmr & ~(0xFFU << shift)) | ((oc->OCMode | 0x8U | oc->OCFastMode) << shift);
  tim->CCER = (tim->CCER & ~(TIM_CCER_CC1P << (4 * ch))) | (oc->OCPolarity << (4 * ch));
  volatile uint32_t* ccr[4] = {&tim->CCR1, &tim->CCR2, &tim->CCR3, &tim->CCR4};
  *ccr[ch] = oc->Pulse;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_PWM_Start_DMA(TIM_HandleTypeDef* htim, uint32_t channel,
                                        const uint32_t* data, uint16_t length) {
  if (htim == nullptr || data == nullptr || length == 0 || channel > TIM_CHANNEL_4 ||
      (channel & 3U) != 0) {
    return HAL_ERROR;
  }
  TIM_TypeDef* tim = htim->Instance;
  const int idx = indexOf(tim);
  const unsigned ch = channelIndex(channel);
  Burst& b = bursts()[idx][ch];
  if (b.done != 0) return HAL_BUSY;
  DMA_HandleTypeDef* dma = htim->hdma[TIM_DMA_ID_CC1 + ch];
  if (dma == nullptr) return HAL_ERROR;
  volatile uint32_t* ccr[4] = {&tim->CCR1, &tim->CCR2, &tim->CCR3, &tim->CCR4};
  if (HAL_DMA_Start_IT(dma, data, const_cast<uint32_t*>(ccr[ch]), length) != HAL_OK) {
    return HAL_ERROR;
  }
  dma->XferCpltCallback = [](DMA_HandleTypeDef* h) {
    auto* parent = static_cast<TIM_HandleTypeDef*>(h->Parent);
    if (parent != nullptr) HAL_TIM_PWM_PulseFinishedCallback(parent);
  };
  tim->DIER |= TIM_DIER_CC1DE << ch;
  tim->CCER |= TIM_CCER_CC1E << (4 * ch);
  tim->CR1 |= TIM_CR1_CEN;
  htim->State = HAL_TIM_STATE_BUSY;
  if (!reaches(idx, ch, dma->Instance)) return HAL_OK;  // the request goes nowhere

  // The items as the stream reads them: its memory size, incrementing or not.
  const auto* bytes = static_cast<const unsigned char*>(simhal::dmaMemory(dma->Instance));
  const uint32_t size = dma->Init.MemDataAlignment == DMA_MDATAALIGN_WORD       ? 4U
                        : dma->Init.MemDataAlignment == DMA_MDATAALIGN_HALFWORD ? 2U
                                                                                : 1U;
  const bool increment = dma->Init.MemInc == DMA_MINC_ENABLE;
  b.wave = {};
  b.wave.tim = tim;
  b.wave.channel = ch + 1;
  b.wave.periodClocks = (tim->PSC + 1) * (tim->ARR + 1);
  b.wave.clockHz = simhal::timerClock(tim);
  b.wave.highClocks.reserve(length);
  for (uint32_t i = 0; i < length; ++i) {
    uint32_t item = 0;
    std::memcpy(&item, bytes + (increment ? i * size : 0), size);  // little-endian, as the chip
    b.wave.highClocks.push_back(highClocks(tim, ch, item));
  }
  b.dma = dma;
  b.start = simk::now();
  b.periodNs = static_cast<simk::Time>(b.wave.periodClocks) * simk::kS / b.wave.clockHz;
  const simk::Time duration =
      static_cast<simk::Time>(length) * b.wave.periodClocks * simk::kS / b.wave.clockHz;
  const IRQn_Type irq = simhal::dmaIrq(dma->Instance);
  b.done = simk::schedule(
      simk::now() + duration, simhal::irqPriority(irq),
      [](void* arg) {
        const auto code = reinterpret_cast<std::uintptr_t>(arg);
        finish(static_cast<int>(code >> 2), static_cast<unsigned>(code & 3U));
      },
      reinterpret_cast<void*>(static_cast<std::uintptr_t>(idx) << 2 | ch));
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_PWM_Stop_DMA(TIM_HandleTypeDef* htim, uint32_t channel) {
  if (htim == nullptr || channel > TIM_CHANNEL_4 || (channel & 3U) != 0) return HAL_ERROR;
  TIM_TypeDef* tim = htim->Instance;
  const int idx = indexOf(tim);
  const unsigned ch = channelIndex(channel);
  Burst& b = bursts()[idx][ch];
  tim->DIER &= ~(TIM_DIER_CC1DE << ch);
  tim->CCER &= ~(TIM_CCER_CC1E << (4 * ch));
  if ((tim->CCER & (TIM_CCER_CC1E | (TIM_CCER_CC1E << 4) | (TIM_CCER_CC1E << 8) |
                    (TIM_CCER_CC1E << 12))) == 0) {
    tim->CR1 &= ~TIM_CR1_CEN;
  }
  if (b.done != 0 && simk::cancel(b.done)) {
    // Stopped during the burst: the periods sent so far reached the pin.
    b.done = 0;
    const simk::Time elapsed = simk::now() - b.start;
    const auto sent = static_cast<std::size_t>(b.periodNs == 0 ? 0 : elapsed / b.periodNs);
    if (sent < b.wave.highClocks.size()) b.wave.highClocks.resize(sent);
    b.wave.complete = false;
    if (simhal::dmaEnabled(b.dma->Instance)) deliver(b.wave);
  }
  b.done = 0;
  DMA_HandleTypeDef* dma = htim->hdma[TIM_DMA_ID_CC1 + ch];
  if (dma != nullptr && simhal::dmaEnabled(dma->Instance)) (void)HAL_DMA_Abort(dma);
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Encoder_Init(TIM_HandleTypeDef* htim, TIM_Encoder_InitTypeDef* c) {
  if (htim == nullptr || htim->Instance == nullptr || c == nullptr) return HAL_ERROR;
  TIM_TypeDef* tim = htim->Instance;
  simhal::record("HAL_TIM_Encoder_Init",
                 "TIM%d prescaler=%u period=%u mode=%u ic1=%s,%u,%u,%u ic2=%s,%u,%u,%u",
                 indexOf(tim), htim->Init.Prescaler, htim->Init.Period, c->EncoderMode,
                 polarityName(c->IC1Polarity), c->IC1Selection, c->IC1Prescaler, c->IC1Filter,
                 polarityName(c->IC2Polarity), c->IC2Selection, c->IC2Prescaler, c->IC2Filter);
  if (c->EncoderMode < TIM_ENCODERMODE_TI1 || c->EncoderMode > TIM_ENCODERMODE_TI12) {
    return HAL_ERROR;
  }
  if (htim->State == HAL_TIM_STATE_RESET) {
    htim->Lock = HAL_UNLOCKED;
    HAL_TIM_Encoder_MspInit(htim);
  }
  tim->PSC = htim->Init.Prescaler;
  tim->ARR = htim->Init.Period;
  tim->CNT = 0;
  tim->SMCR = (tim->SMCR & ~TIM_SMCR_SMS) | c->EncoderMode;
  tim->CCMR1 = c->IC1Selection | (c->IC1Prescaler << 2) | (c->IC1Filter << 4) |
               (c->IC2Selection << 8) | (c->IC2Prescaler << 10) | (c->IC2Filter << 12);
  tim->CCER = c->IC1Polarity | (c->IC2Polarity << 4);
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Encoder_Start(TIM_HandleTypeDef* htim, uint32_t channel) {
  if (htim == nullptr || htim->Instance == nullptr) return HAL_ERROR;
  TIM_TypeDef* tim = htim->Instance;
  simhal::record("HAL_TIM_Encoder_Start", "TIM%d channel=0x%X", indexOf(tim), channel);
  if (channel == TIM_CHANNEL_1 || channel == TIM_CHANNEL_ALL) tim->CCER |= TIM_CCER_CC1E;
  if (channel == TIM_CHANNEL_2 || channel == TIM_CHANNEL_ALL) tim->CCER |= TIM_CCER_CC2E;
  tim->CR1 |= TIM_CR1_CEN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Encoder_Stop(TIM_HandleTypeDef* htim, uint32_t) {
  if (htim == nullptr || htim->Instance == nullptr) return HAL_ERROR;
  htim->Instance->CCER &= ~(TIM_CCER_CC1E | TIM_CCER_CC2E);
  htim->Instance->CR1 &= ~TIM_CR1_CEN;
  return HAL_OK;
}

}  // extern "C"
