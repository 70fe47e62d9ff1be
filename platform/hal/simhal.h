// The chip's side of the simulated board for the device models, the simulator and tests:
// interrupt raising, GPIO levels and listeners, the record of set-up calls, clocks, and the
// attach points where the board's wiring (platform/board/wiring.cpp) connects its devices.
// Nothing here knows which device sits where.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "simkernel.h"
#include "stm32f7xx_hal.h"

namespace simhal {

// A set-up call of the chip support library or board support, in the trace as a `hal` event;
// the arguments are formatted as printf does, without touching the heap.
void record(const char* call, const char* argsFormat = nullptr, ...)
    __attribute__((format(printf, 2, 3)));

// ---- interrupts
// Runs the handler of irq now (in interrupt context), or keeps it pending while disabled.
void raiseIrq(IRQn_Type irq);
// The NVIC pre-emption priority of irq (0..15), used to order simultaneous events.
int irqPriority(IRQn_Type irq);
bool irqEnabled(IRQn_Type irq);
simk::EventId scheduleIrq(simk::Time at, IRQn_Type irq);
// How a run of one interrupt raised many times in a row (a timer's updates in a batch) reaches
// its handler without looking it up each time: the application's handler (null: it has none)
// and the NVIC's enable bit, to be checked before each raise. A raise the handler cannot take
// goes through raiseIrq instead.
struct IrqVector {
  void (*handler)(void) = nullptr;
  const bool* enabled = nullptr;
};
IrqVector irqVector(IRQn_Type irq);

// ---- GPIO: port 0 = A .. 10 = K
enum class PinMode : std::uint8_t { Input, Output, Alternate, Analog };
int portIndex(const GPIO_TypeDef* port);
// One GPIO line of the chip, as the board's wiring names it: line(GPIOA, 8) is PA8.
struct Line {
  int port = 0;
  int pin = 0;
};
inline Line line(const GPIO_TypeDef* port, int pin) { return {portIndex(port), pin}; }
bool pinLevel(int port, int pin);
PinMode pinMode(int port, int pin);
// Level driven from outside onto an input pin (keys, switches): the board's backdoor.
void setInputLevel(int port, int pin, bool high);
// Called when the firmware changes the level it drives on an output pin.
void onOutputChange(int port, int pin, std::function<void(bool high)> listener);
// Output changes of this pin are not written to the trace (a model reports them instead).
void setQuiet(int port, int pin);

// ---- faults
// Host fault signals in firmware become hard faults of the simulated processor.
void installFaultHandlers();
// The exception frame an unhandled interrupt stacks (all registers 0), and where frames are.
void stackEmptyFrame();
std::uint32_t frameAddress();

// ---- clocks
std::uint32_t sysclk();
std::uint32_t pclk1();
std::uint32_t pclk2();
// Clock of the timers on APB1 (TIM2..7) or APB2 (TIM1, TIM8): twice the bus clock when the
// bus is divided.
std::uint32_t timerClock(const TIM_TypeDef* tim);

// ---- analogue inputs
// The level at an ADC input, 12 bits (0..4095), read when a conversion's result is taken. An
// input without a source reads 0.
void attachAdcInput(const ADC_TypeDef* adc, std::uint32_t channel,
                    std::function<std::uint32_t()> level);

// ---- serial lines
// Gets every byte the USART sends, when its stop bit has gone; replaces the receiver there.
void attachUartReceiver(const USART_TypeDef* uart, std::function<void(std::uint8_t)> receiver);

// ---- sleeping for good
// A context that sleeps in __WFI() with nothing left to wake it stops for good; `describe`
// gives the reason the trace records for it (empty: "spin").
void setSleepReason(std::function<std::string()> describe);

}  // namespace simhal
