// Cortex-M7 core and NVIC of the simulated chip: system control block, cycle counter,
// caches (accepted; the data cache is tracked by the audio model), SysTick, interrupt
// priorities and the vector table with the handlers the application defines.
//
// Simplification: interrupts are delivered whole, never nested, and masking (BASEPRI,
// PRIMASK) is recorded but not applied, since handlers only run between task switches.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "simhal.h"
#include "simkernel.h"
#include "stm32f7xx_hal.h"

extern "C" {
SCB_Type sim_SCB;
DWT_Type sim_DWT;
CoreDebug_Type sim_CoreDebug;
SysTick_Type sim_SysTick;
uint32_t SystemCoreClock = 16000000;
uint32_t uwTickPrio = 16;  // no tick priority set yet
}

// The application's handlers; a vector without one falls to the hard-fault handler.
#define SIM_HANDLERS(X)                                                                          \
  X(SysTick_Handler)                                                                             \
  X(TIM6_DAC_IRQHandler)                                                                         \
  X(TIM7_IRQHandler)                                                                             \
  X(LTDC_IRQHandler)                                                                             \
  X(DMA2D_IRQHandler)                                                                            \
  X(QUADSPI_IRQHandler) X(DMA2_Stream4_IRQHandler) X(DMA2_Stream7_IRQHandler)                    \
      X(EXTI9_5_IRQHandler) X(OTG_FS_IRQHandler) X(USART1_IRQHandler) X(DMA1_Stream4_IRQHandler) \
          X(TIM4_IRQHandler) X(ETH_IRQHandler) X(ADC_IRQHandler) X(SPI2_IRQHandler)              \
              X(TIM3_IRQHandler) X(TIM8_CC_IRQHandler) X(HardFault_Handler) X(MemManage_Handler) \
                  X(BusFault_Handler) X(UsageFault_Handler) X(DebugMon_Handler)

extern "C" {
#define SIM_DECLARE(name) void name(void) __attribute__((weak));
SIM_HANDLERS(SIM_DECLARE)
#undef SIM_DECLARE
}

namespace {

using Handler = void (*)(void);

Handler handlerOf(IRQn_Type irq) {
  switch (irq) {
    case SysTick_IRQn: return SysTick_Handler;
    case TIM6_DAC_IRQn: return TIM6_DAC_IRQHandler;
    case TIM7_IRQn: return TIM7_IRQHandler;
    case LTDC_IRQn: return LTDC_IRQHandler;
    case DMA2D_IRQn: return DMA2D_IRQHandler;
    case QUADSPI_IRQn: return QUADSPI_IRQHandler;
    case DMA2_Stream4_IRQn: return DMA2_Stream4_IRQHandler;
    case DMA2_Stream7_IRQn: return DMA2_Stream7_IRQHandler;
    case EXTI9_5_IRQn: return EXTI9_5_IRQHandler;
    case OTG_FS_IRQn: return OTG_FS_IRQHandler;
    case USART1_IRQn: return USART1_IRQHandler;
    case DMA1_Stream4_IRQn: return DMA1_Stream4_IRQHandler;
    case TIM4_IRQn: return TIM4_IRQHandler;
    case ETH_IRQn: return ETH_IRQHandler;
    case ADC_IRQn: return ADC_IRQHandler;
    case SPI2_IRQn: return SPI2_IRQHandler;
    case TIM3_IRQn: return TIM3_IRQHandler;
    case TIM8_CC_IRQn: return TIM8_CC_IRQHandler;
    case MemoryManagement_IRQn: return MemManage_Handler;
    case BusFault_IRQn: return BusFault_Handler;
    case UsageFault_IRQn: return UsageFault_Handler;
    case DebugMonitor_IRQn: return DebugMon_Handler;
    default: return nullptr;
  }
}

// Exceptions -16..-1 and interrupts 0..111, indexed from 0.
constexpr int kVectors = 128;
int slot(IRQn_Type irq) { return static_cast<int>(irq) + 16; }

struct Nvic {
  std::uint32_t grouping = 0;
  int priority[kVectors] = {};
  bool enabled[kVectors] = {};
  bool pending[kVectors] = {};
};

Nvic& nvic() {
  static Nvic n;
  return n;
}

struct SysTickModel {
  simk::Periodic timer;
};
SysTickModel& systick() {
  static SysTickModel s;
  return s;
}

volatile std::uint32_t uwTick = 0;

std::function<std::string()>& sleepReason() {
  static std::function<std::string()> describe;
  return describe;
}

void deliver(IRQn_Type irq) {
  Handler h = handlerOf(irq);
  if (h == nullptr) {
    simhal::stackEmptyFrame();
    h = HardFault_Handler;
  }
  if (h == nullptr) simk::halt("unhandled interrupt");
  h();
}

}  // namespace

namespace simhal {

void setSleepReason(std::function<std::string()> describe) { sleepReason() = std::move(describe); }

int irqPriority(IRQn_Type irq) { return nvic().priority[slot(irq)]; }

bool irqEnabled(IRQn_Type irq) { return irq < 0 || nvic().enabled[slot(irq)]; }

void raiseIrq(IRQn_Type irq) {
  if (!irqEnabled(irq)) {
    nvic().pending[slot(irq)] = true;
    return;
  }
  deliver(irq);
}

simk::EventId scheduleIrq(simk::Time at, IRQn_Type irq) {
  return simk::schedule(
      at, irqPriority(irq),
      [](void* arg) { raiseIrq(static_cast<IRQn_Type>(reinterpret_cast<std::intptr_t>(arg))); },
      reinterpret_cast<void*>(static_cast<std::intptr_t>(irq)));
}

IrqVector irqVector(IRQn_Type irq) {
  static const bool always = true;  // exceptions cannot be disabled
  return {handlerOf(irq), irq < 0 ? &always : &nvic().enabled[slot(irq)]};
}

}  // namespace simhal

extern "C" {

void __WFI(void) {
  // Every endless loop of the application sleeps here: the context stops for good.
  const std::string reason = sleepReason() ? sleepReason()() : std::string();
  simk::halt(reason.empty() ? "spin" : reason.c_str());
}
void __NOP(void) {}
void __DSB(void) {}
void __ISB(void) {}
void __DMB(void) {}
void __disable_irq(void) {}
void __enable_irq(void) {}
// The stacked exception frame of the simulated processor, on either stack.
uint32_t __get_MSP(void) { return simhal::frameAddress(); }
uint32_t __get_PSP(void) { return simhal::frameAddress(); }
uint32_t __get_IPSR(void) { return simk::inInterrupt() ? 16U : 0U; }

void SCB_EnableICache(void) {
  sim_SCB.CCR |= 1U << 17;
  simhal::record("SCB_EnableICache");
}
void SCB_EnableDCache(void) {
  sim_SCB.CCR |= 1U << 16;
  simhal::record("SCB_EnableDCache");
}
void SCB_DisableICache(void) { sim_SCB.CCR &= ~(1U << 17); }
void SCB_DisableDCache(void) { sim_SCB.CCR &= ~(1U << 16); }

uint32_t SysTick_Config(uint32_t ticks) {
  if (ticks == 0 || ticks - 1 > 0xFFFFFFU) return 1;
  sim_SysTick.LOAD = ticks - 1;
  sim_SysTick.VAL = 0;
  sim_SysTick.CTRL = 7;
  const simk::Time period = static_cast<simk::Time>(ticks) * simk::kS / SystemCoreClock;
  // The tick only keeps the millisecond count: it never wakes a task by itself.
  systick().timer.start(
      simk::now() + period, period, simhal::irqPriority(SysTick_IRQn), false,
      [](void*) { simhal::raiseIrq(SysTick_IRQn); }, nullptr);
  return 0;
}

void NVIC_SetPriorityGrouping(uint32_t group) { nvic().grouping = group; }
uint32_t NVIC_GetPriorityGrouping(void) { return nvic().grouping; }
void NVIC_SetPriority(IRQn_Type irq, uint32_t priority) {
  nvic().priority[slot(irq)] = static_cast<int>(priority & 0xF);
}
uint32_t NVIC_GetPriority(IRQn_Type irq) { return static_cast<uint32_t>(simhal::irqPriority(irq)); }
void NVIC_EnableIRQ(IRQn_Type irq) {
  auto& n = nvic();
  n.enabled[slot(irq)] = true;
  if (n.pending[slot(irq)]) {
    n.pending[slot(irq)] = false;
    simhal::scheduleIrq(simk::now(), irq);
  }
}
void NVIC_DisableIRQ(IRQn_Type irq) { nvic().enabled[slot(irq)] = false; }
void NVIC_SystemReset(void) { simk::endRun(0, "system reset"); }

// ---- chip support library: general

HAL_StatusTypeDef HAL_Init(void) {
  simhal::record("HAL_Init");
  NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
  HAL_InitTick(15);
  HAL_MspInit();
  return HAL_OK;
}

__attribute__((weak)) HAL_StatusTypeDef HAL_InitTick(uint32_t priority) {
  // As the vendor library does: the tick is started first; a priority that is not yet known
  // (before HAL_Init) is refused afterwards.
  if (SysTick_Config(SystemCoreClock / 1000U) != 0) return HAL_ERROR;
  if (priority >= 16) return HAL_ERROR;
  HAL_NVIC_SetPriority(SysTick_IRQn, priority, 0);
  uwTickPrio = priority;
  return HAL_OK;
}

__attribute__((weak)) void HAL_MspInit(void) {}

void HAL_IncTick(void) { uwTick = uwTick + 1; }
uint32_t HAL_GetTick(void) { return uwTick; }

void HAL_Delay(uint32_t delay) {
  const uint32_t start = HAL_GetTick();
  uint32_t wait = delay;
  if (wait < HAL_MAX_DELAY) wait += 1;
  while (HAL_GetTick() - start < wait) {
    auto& t = systick().timer;
    const simk::Time step =
        t.running() && t.next() > simk::now() ? t.next() - simk::now() : simk::kMs;
    simk::busyWait(step);
  }
}

void HAL_NVIC_SetPriorityGrouping(uint32_t group) {
  if (group == NVIC_PRIORITYGROUP_4) {
    simhal::record("HAL_NVIC_SetPriorityGrouping", "NVIC_PRIORITYGROUP_4");
  } else {
    simhal::record("HAL_NVIC_SetPriorityGrouping", "%u", group);
  }
  NVIC_SetPriorityGrouping(group);
}

void HAL_NVIC_SetPriority(IRQn_Type irq, uint32_t preempt, uint32_t sub) {
  simhal::record("HAL_NVIC_SetPriority", "irq=%d preempt=%u sub=%u", static_cast<int>(irq), preempt,
                 sub);
  NVIC_SetPriority(irq, preempt);
}

void HAL_NVIC_EnableIRQ(IRQn_Type irq) {
  simhal::record("HAL_NVIC_EnableIRQ", "irq=%d", static_cast<int>(irq));
  NVIC_EnableIRQ(irq);
}

void HAL_NVIC_DisableIRQ(IRQn_Type irq) { NVIC_DisableIRQ(irq); }

void HAL_MPU_Disable(void) {
  const bool cycles = (sim_CoreDebug.DEMCR & CoreDebug_DEMCR_TRCENA_Msk) != 0 &&
                      (sim_DWT.CTRL & DWT_CTRL_CYCCNTENA_Msk) != 0;
  simhal::record("HAL_MPU_Disable", "cycle-counter=%s", cycles ? "on" : "off");
}

void HAL_MPU_Enable(uint32_t) { simhal::record("HAL_MPU_Enable"); }

}  // extern "C"
