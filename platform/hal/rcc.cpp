// Reset and clock control: the clock tree as the application configures it. The bus and
// timer clocks derived here time the timers, the UART and SysTick.
#include <string>

#include "simhal.h"

namespace {

constexpr std::uint32_t kHse = 25000000;
constexpr std::uint32_t kHsi = 16000000;

struct Clocks {
  RCC_OscInitTypeDef osc{};
  bool pllConfigured = false;
  std::uint32_t sysclk = kHsi;
  std::uint32_t hclk = kHsi;
  std::uint32_t pclk1 = kHsi;
  std::uint32_t pclk2 = kHsi;
  bool apb1Divided = false;
  bool apb2Divided = false;
  bool overDrive = false;
};

Clocks& clocks() {
  static Clocks c;
  return c;
}

std::uint32_t ahbDivider(std::uint32_t code) {
  switch (code) {
    case RCC_SYSCLK_DIV2: return 2;
    case RCC_SYSCLK_DIV4: return 4;
    default: return 1;
  }
}

std::uint32_t apbDivider(std::uint32_t code) {
  switch (code) {
    case RCC_HCLK_DIV2: return 2;
    case RCC_HCLK_DIV4: return 4;
    case RCC_HCLK_DIV8: return 8;
    case RCC_HCLK_DIV16: return 16;
    default: return 1;
  }
}

const char* clockName(SimClock c) {
  static const char* const names[] = {
      "GPIOA", "GPIOB",  "GPIOC", "GPIOD",   "GPIOE", "GPIOF", "GPIOG", "GPIOH", "GPIOI", "GPIOJ",
      "GPIOK", "USART1", "LTDC",  "BKPSRAM", "PWR",   "TIM3",  "TIM4",  "TIM6",  "TIM7",  "TIM8",
      "SPI2",  "ADC3",   "DMA1",  "DMA2",    "DMA2D", "RTC",   "SAI2",  "QSPI",  "OTGFS"};
  static_assert(sizeof names / sizeof names[0] == SIM_CLK_COUNT);
  return names[c];
}

}  // namespace

namespace simhal {
std::uint32_t sysclk() { return clocks().sysclk; }
std::uint32_t pclk1() { return clocks().pclk1; }
std::uint32_t pclk2() { return clocks().pclk2; }
std::uint32_t timerClock(const TIM_TypeDef* tim) {
  const bool apb2 = tim == TIM1 || tim == TIM8;
  const Clocks& c = clocks();
  if (apb2) return c.apb2Divided ? 2 * c.pclk2 : c.pclk2;
  return c.apb1Divided ? 2 * c.pclk1 : c.pclk1;
}
}  // namespace simhal

extern "C" {

extern uint32_t uwTickPrio;

void sim_rcc_clock_enable(SimClock clock) { simhal::record("RCC_CLK_ENABLE", "%s", clockName(clock)); }

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* osc) {
  const RCC_PLLInitTypeDef& pll = osc->PLL;
  simhal::record("HAL_RCC_OscConfig", "hse=%s lse=%s pll=%s M=%u N=%u P=%u Q=%u",
                 osc->HSEState == RCC_HSE_ON ? "on" : "off",
                 osc->LSEState == RCC_LSE_ON ? "on" : "off",
                 pll.PLLState == RCC_PLL_ON ? "on" : "off", pll.PLLM, pll.PLLN, pll.PLLP, pll.PLLQ);
  if (pll.PLLState == RCC_PLL_ON) {
    const bool valid = pll.PLLM >= 2 && pll.PLLM <= 63 && pll.PLLN >= 50 && pll.PLLN <= 432 &&
                       (pll.PLLP == 2 || pll.PLLP == 4 || pll.PLLP == 6 || pll.PLLP == 8) &&
                       pll.PLLQ >= 2 && pll.PLLQ <= 15;
    if (!valid) return HAL_ERROR;
    if (pll.PLLSource == RCC_PLLSOURCE_HSE && osc->HSEState != RCC_HSE_ON) return HAL_ERROR;
    clocks().pllConfigured = true;
  }
  clocks().osc = *osc;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_PWREx_EnableOverDrive(void) {
  simhal::record("HAL_PWREx_EnableOverDrive");
  clocks().overDrive = true;
  return HAL_OK;
}

void HAL_PWR_EnableBkUpAccess(void) { simhal::record("HAL_PWR_EnableBkUpAccess"); }

HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* clk, uint32_t latency) {
  simhal::record("HAL_RCC_ClockConfig", "source=%u ahb=%u apb1=%u apb2=%u latency=%u",
                 clk->SYSCLKSource, ahbDivider(clk->AHBCLKDivider), apbDivider(clk->APB1CLKDivider),
                 apbDivider(clk->APB2CLKDivider), latency);
  Clocks& c = clocks();
  std::uint32_t sys = kHsi;
  if (clk->SYSCLKSource == RCC_SYSCLKSOURCE_PLLCLK) {
    if (!c.pllConfigured) return HAL_ERROR;
    const RCC_PLLInitTypeDef& pll = c.osc.PLL;
    const std::uint64_t in = pll.PLLSource == RCC_PLLSOURCE_HSE ? kHse : kHsi;
    sys = static_cast<std::uint32_t>(in / pll.PLLM * pll.PLLN / pll.PLLP);
  } else if (clk->SYSCLKSource == RCC_SYSCLKSOURCE_HSE) {
    sys = kHse;
  }
  // Above 180 MHz the core needs over-drive, and every 30 MHz one more flash wait state.
  if (sys > 180000000U && !c.overDrive) return HAL_ERROR;
  if (latency < (sys - 1) / 30000000U) return HAL_ERROR;
  c.sysclk = sys;
  c.hclk = sys / ahbDivider(clk->AHBCLKDivider);
  c.pclk1 = c.hclk / apbDivider(clk->APB1CLKDivider);
  c.pclk2 = c.hclk / apbDivider(clk->APB2CLKDivider);
  c.apb1Divided = apbDivider(clk->APB1CLKDivider) != 1;
  c.apb2Divided = apbDivider(clk->APB2CLKDivider) != 1;
  SystemCoreClock = c.hclk;
  // The millisecond tick follows the new core clock, at the priority it had; as in the
  // vendor library, its result is not part of this call's.
  (void)HAL_InitTick(uwTickPrio);
  return HAL_OK;
}

HAL_StatusTypeDef HAL_RCCEx_PeriphCLKConfig(RCC_PeriphCLKInitTypeDef* p) {
  simhal::record("HAL_RCCEx_PeriphCLKConfig", "select=0x%X saiN=%u saiP=%u clk48=0x%X rtc=0x%X",
                 p->PeriphClockSelection, p->PLLSAI.PLLSAIN, p->PLLSAI.PLLSAIP,
                 p->Clk48ClockSelection, p->RTCClockSelection);
  return HAL_OK;
}

uint32_t HAL_RCC_GetSysClockFreq(void) { return clocks().sysclk; }
uint32_t HAL_RCC_GetHCLKFreq(void) { return clocks().hclk; }
uint32_t HAL_RCC_GetPCLK1Freq(void) { return clocks().pclk1; }
uint32_t HAL_RCC_GetPCLK2Freq(void) { return clocks().pclk2; }

}  // extern "C"
