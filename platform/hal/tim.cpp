// Basic timers with update interrupts: the period follows prescaler, auto-reload and the
// timer clock of the bus. A timer whose handler only keeps state may be run in batches (the
// board says which, batchTimerUpdates): its interrupt is raised `batch` times in a row once
// every `batch` periods, which leaves the state right at each batch and costs no scheduling in
// between. The handler still runs for every update and decides what each one does; a batch
// costs one timeline event and one look-up of the handler, which is then called directly.
// Every update is counted, so that a model can tell the updates of a batch apart (simtim.h).
//
// Simplification: the update flag is the only status flag these timers raise.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "runtime_heap.h"
#include "simhal.h"
#include "simkernel.h"
#include "simtim.h"

extern "C" {
TIM_TypeDef sim_TIM[15];
}

namespace {

struct TimerModel {
  simk::Periodic update;
  TIM_TypeDef* tim = nullptr;
  IRQn_Type irq = TIM2_IRQn;
  unsigned batch = 1;
  std::uint64_t updates = 0;
  std::vector<std::function<void()>> batchListeners;
  std::vector<std::function<void()>> startListeners;
  std::function<unsigned(simk::Time)> batchFor;
};

std::array<TimerModel, 15>& timers() {
  static std::array<TimerModel, 15> t;
  return t;
}

int indexOf(const TIM_TypeDef* tim) { return static_cast<int>(tim - sim_TIM); }

IRQn_Type updateIrq(int index) {
  switch (index) {
    case 3: return TIM3_IRQn;
    case 4: return TIM4_IRQn;
    case 6: return TIM6_DAC_IRQn;
    case 7: return TIM7_IRQn;
    case 8: return TIM8_UP_TIM13_IRQn;
    default: return TIM2_IRQn;
  }
}

// A run of update interrupts (one, or a batch) at one instant: each is counted and flagged,
// and the application's handler runs for it, called directly (the handler is looked up once a
// run). The run ends early when the timer stops or its update interrupt is switched off.
void runUpdates(void* arg) {
  TimerModel& m = *static_cast<TimerModel*>(arg);
  TIM_TypeDef* const tim = m.tim;
  const simhal::IrqVector vector = simhal::irqVector(m.irq);
  void (*const handler)(void) = vector.handler;
  const bool* const enabled = vector.enabled;
  std::uint64_t* const count = &m.updates;
  std::uint64_t updates = m.updates;  // only this loop counts them: stored, never read back
  const std::uint64_t end = updates + m.batch;
  // The counter runs and its update interrupt is on: both are bit 0 of their registers. Each
  // update is counted and flagged (the only status flag this model raises: nothing else to
  // keep), then handled; the handler may stop the timer or switch its interrupt off.
  static_assert(TIM_CR1_CEN == 1 && TIM_DIER_UIE == 1);
  if (handler != nullptr) {
    while (updates != end && (tim->CR1 & tim->DIER & 1U) != 0 && *enabled) {
      *count = ++updates;
      tim->SR = TIM_SR_UIF;
      handler();
    }
  }
  // With the interrupt disabled at the NVIC (or no handler), the update pends there.
  while (updates != end && (tim->CR1 & tim->DIER & 1U) != 0) {
    *count = ++updates;
    tim->SR = TIM_SR_UIF;
    if (handler != nullptr && *enabled) {
      handler();
    } else {
      simhal::raiseIrq(m.irq);
    }
  }
  for (auto& listener : m.batchListeners) listener();
}

}  // namespace

namespace simhal {

std::uint64_t timerUpdates(const TIM_TypeDef* tim) { return timers()[indexOf(tim)].updates; }

bool timerUpdating(const TIM_TypeDef* tim) {
  return timers()[indexOf(tim)].update.running() && (tim->CR1 & TIM_CR1_CEN) != 0 &&
         (tim->DIER & TIM_DIER_UIE) != 0;
}

// Listeners are the board's bookkeeping, whichever thread wires them.
void onTimerBatch(const TIM_TypeDef* tim, std::function<void()> listener) {
  simruntime::HostScope host;
  timers()[indexOf(tim)].batchListeners.push_back(std::move(listener));
}

void onTimerStart(const TIM_TypeDef* tim, std::function<void()> listener) {
  simruntime::HostScope host;
  timers()[indexOf(tim)].startListeners.push_back(std::move(listener));
}

void batchTimerUpdates(const TIM_TypeDef* tim, std::function<unsigned(simk::Time period)> batch) {
  timers()[indexOf(tim)].batchFor = std::move(batch);
}

}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_TIM_Base_MspInit(TIM_HandleTypeDef*) {}
__attribute__((weak)) void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim) {
  if (htim == nullptr) return HAL_ERROR;
  const int idx = indexOf(htim->Instance);
  simhal::record("HAL_TIM_Base_Init", "TIM%d prescaler=%u period=%u", idx, htim->Init.Prescaler,
                 htim->Init.Period);
  if (htim->State == HAL_TIM_STATE_RESET) {
    htim->Lock = HAL_UNLOCKED;
    HAL_TIM_Base_MspInit(htim);
  }
  htim->Instance->PSC = htim->Init.Prescaler;
  htim->Instance->ARR = htim->Init.Period;
  htim->Instance->CNT = 0;
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

static HAL_StatusTypeDef startBase(TIM_HandleTypeDef* htim, bool interrupt) {
  const int idx = indexOf(htim->Instance);
  simhal::record(interrupt ? "HAL_TIM_Base_Start_IT" : "HAL_TIM_Base_Start", "TIM%d", idx);
  TIM_TypeDef* tim = htim->Instance;
  tim->CR1 |= TIM_CR1_CEN;
  if (interrupt) tim->DIER |= TIM_DIER_UIE;
  if (!interrupt) return HAL_OK;
  const std::uint64_t counts =
      static_cast<std::uint64_t>(tim->PSC + 1) * static_cast<std::uint64_t>(tim->ARR + 1);
  const simk::Time period = counts * simk::kS / simhal::timerClock(tim);
  TimerModel& m = timers()[idx];
  m.batch = m.batchFor ? std::max(1U, m.batchFor(period)) : 1U;
  m.tim = tim;
  m.irq = updateIrq(idx);
  for (auto& listener : m.startListeners) listener();
  m.update.start(simk::now() + period * m.batch, period * m.batch, simhal::irqPriority(m.irq),
                 false, &runUpdates, &m);
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim) { return startBase(htim, false); }
HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim) { return startBase(htim, true); }

HAL_StatusTypeDef HAL_TIM_Base_Stop_IT(TIM_HandleTypeDef* htim) {
  htim->Instance->DIER &= ~TIM_DIER_UIE;
  htim->Instance->CR1 &= ~TIM_CR1_CEN;
  timers()[indexOf(htim->Instance)].update.stop();
  return HAL_OK;
}

void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim) {
  TIM_TypeDef* tim = htim->Instance;
  const std::uint32_t sr = tim->SR;
  if ((sr & TIM_SR_UIF) != 0 && (tim->DIER & TIM_DIER_UIE) != 0) {
    tim->SR = sr & ~TIM_SR_UIF;
    HAL_TIM_PeriodElapsedCallback(htim);
  }
}

}  // extern "C"
