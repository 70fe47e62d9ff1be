// General-purpose I/O: eleven ports of sixteen pins. An output pin's level is what the
// firmware drives; an input pin's level is set from outside (keys, switches) or follows its
// pull resistor. Output changes go to the trace as `gpio` events unless a model reports
// that pin itself.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime_heap.h"
#include "simhal.h"
#include "trace.h"

extern "C" {
GPIO_TypeDef sim_GPIO[11];
}

namespace {

struct Pin {
  simhal::PinMode mode = simhal::PinMode::Input;
  std::uint32_t pull = GPIO_NOPULL;
  bool outputLevel = false;
  bool externalSet = false;
  bool externalLevel = false;
  bool quiet = false;
  std::vector<std::function<void(bool)>> listeners;
};

std::array<std::array<Pin, 16>, 11>& pins() {
  static std::array<std::array<Pin, 16>, 11> p;
  return p;
}

const char* modeName(std::uint32_t mode) {
  switch (mode) {
    case GPIO_MODE_INPUT: return "INPUT";
    case GPIO_MODE_OUTPUT_PP: return "OUTPUT_PP";
    case GPIO_MODE_OUTPUT_OD: return "OUTPUT_OD";
    case GPIO_MODE_AF_PP: return "AF_PP";
    case GPIO_MODE_AF_OD: return "AF_OD";
    case GPIO_MODE_ANALOG: return "ANALOG";
    case GPIO_MODE_IT_RISING: return "IT_RISING";
    case GPIO_MODE_IT_FALLING: return "IT_FALLING";
    case GPIO_MODE_IT_RISING_FALLING: return "IT_RISING_FALLING";
    default: return "?";
  }
}

const char* pullName(std::uint32_t pull) {
  switch (pull) {
    case GPIO_PULLUP: return "PULLUP";
    case GPIO_PULLDOWN: return "PULLDOWN";
    default: return "NOPULL";
  }
}

void pinList(std::uint32_t mask, char* out, std::size_t size) {
  std::size_t used = 0;
  out[0] = 0;
  for (int i = 0; i < 16 && used < size; ++i) {
    if ((mask & (1U << i)) == 0) continue;
    const int n = std::snprintf(out + used, size - used, used == 0 ? "%d" : ",%d", i);
    if (n < 0) break;
    used += static_cast<std::size_t>(n);
  }
}

void refreshRegisters(int port) {
  std::uint32_t idr = 0, odr = 0;
  for (int i = 0; i < 16; ++i) {
    if (simhal::pinLevel(port, i)) idr |= 1U << i;
    if (pins()[port][i].outputLevel) odr |= 1U << i;
  }
  sim_GPIO[port].IDR = idr;
  sim_GPIO[port].ODR = odr;
}

void drive(int port, int pin, bool high) {
  Pin& p = pins()[port][pin];
  if (p.outputLevel == high) return;
  p.outputLevel = high;
  refreshRegisters(port);
  if (p.mode != simhal::PinMode::Output) return;
  if (!p.quiet) {
    const char name[2] = {static_cast<char>('A' + port), 0};
    simtrace::Event("gpio").str("port", name).num("pin", pin).num("level", high ? 1 : 0);
  }
  for (auto& l : p.listeners) l(high);
}

}  // namespace

namespace simhal {

int portIndex(const GPIO_TypeDef* port) { return static_cast<int>(port - sim_GPIO); }

bool pinLevel(int port, int pin) {
  const Pin& p = pins()[port][pin];
  if (p.mode == PinMode::Output) return p.outputLevel;
  if (p.externalSet) return p.externalLevel;
  return p.pull == GPIO_PULLUP;
}

PinMode pinMode(int port, int pin) { return pins()[port][pin].mode; }

void setInputLevel(int port, int pin, bool high) {
  Pin& p = pins()[port][pin];
  p.externalSet = true;
  p.externalLevel = high;
  refreshRegisters(port);
}

void onOutputChange(int port, int pin, std::function<void(bool)> listener) {
  simruntime::HostScope host;  // the board's bookkeeping, whichever thread wires it
  pins()[port][pin].listeners.push_back(std::move(listener));
}

void setQuiet(int port, int pin) { pins()[port][pin].quiet = true; }

}  // namespace simhal

extern "C" {

void HAL_GPIO_Init(GPIO_TypeDef* port, GPIO_InitTypeDef* init) {
  const int idx = simhal::portIndex(port);
  char list[48];
  pinList(init->Pin, list, sizeof list);
  if (init->Mode == GPIO_MODE_AF_PP || init->Mode == GPIO_MODE_AF_OD) {
    simhal::record("HAL_GPIO_Init", "GPIO%c pins=%s mode=%s pull=%s speed=%u af=%u", 'A' + idx,
                   list, modeName(init->Mode), pullName(init->Pull), init->Speed, init->Alternate);
  } else {
    simhal::record("HAL_GPIO_Init", "GPIO%c pins=%s mode=%s pull=%s speed=%u", 'A' + idx, list,
                   modeName(init->Mode), pullName(init->Pull), init->Speed);
  }
  for (int i = 0; i < 16; ++i) {
    if ((init->Pin & (1U << i)) == 0) continue;
    Pin& p = pins()[idx][i];
    switch (init->Mode) {
      case GPIO_MODE_OUTPUT_PP:
      case GPIO_MODE_OUTPUT_OD: p.mode = simhal::PinMode::Output; break;
      case GPIO_MODE_AF_PP:
      case GPIO_MODE_AF_OD: p.mode = simhal::PinMode::Alternate; break;
      case GPIO_MODE_ANALOG: p.mode = simhal::PinMode::Analog; break;
      default: p.mode = simhal::PinMode::Input; break;
    }
    p.pull = init->Pull;
  }
  refreshRegisters(idx);
}

void HAL_GPIO_DeInit(GPIO_TypeDef* port, uint32_t mask) {
  const int idx = simhal::portIndex(port);
  for (int i = 0; i < 16; ++i) {
    if ((mask & (1U << i)) != 0) pins()[idx][i].mode = simhal::PinMode::Input;
  }
  refreshRegisters(idx);
}

GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* port, uint16_t mask) {
  const int idx = simhal::portIndex(port);
  for (int i = 0; i < 16; ++i) {
    if ((mask & (1U << i)) != 0 && simhal::pinLevel(idx, i)) return GPIO_PIN_SET;
  }
  return GPIO_PIN_RESET;
}

void HAL_GPIO_WritePin(GPIO_TypeDef* port, uint16_t mask, GPIO_PinState state) {
  const int idx = simhal::portIndex(port);
  for (int i = 0; i < 16; ++i) {
    if ((mask & (1U << i)) != 0) drive(idx, i, state == GPIO_PIN_SET);
  }
}

void HAL_GPIO_TogglePin(GPIO_TypeDef* port, uint16_t mask) {
  const int idx = simhal::portIndex(port);
  for (int i = 0; i < 16; ++i) {
    if ((mask & (1U << i)) != 0) drive(idx, i, !pins()[idx][i].outputLevel);
  }
}

void HAL_GPIO_EXTI_IRQHandler(uint16_t pin) { HAL_GPIO_EXTI_Callback(pin); }
__attribute__((weak)) void HAL_GPIO_EXTI_Callback(uint16_t) {}

}  // extern "C"
