// Interrupt priorities (4 bits of pre-emption priority, no sub-priority). Handlers that call
// the kernel stay at or below the kernel's system-call ceiling (numerically 4 or higher).
#pragma once

#include <cstdint>

namespace irq_prio {
constexpr uint32_t MILLI_TICK = 0;     // the chip library's millisecond count, above everything
constexpr uint32_t USB_HOST = 5;       // host controller
constexpr uint32_t RUNTIME_STATS = 5;  // TIM7, run-time statistics counter
constexpr uint32_t CONSOLE = 10;       // console receive: drops the byte
constexpr uint32_t EXTI_5_9 = 15;      // EXTI lines 5 to 9
constexpr uint32_t KERNEL_TICK = 15;   // TIM6, the lowest
}  // namespace irq_prio
