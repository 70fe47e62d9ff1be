// USART transmitter: a data register and a shift register. A byte written to the data register
// moves to the shift register as soon as that is free and then occupies the line for ten bit
// times (start, eight data bits, stop) at the baud rate the divider gives from the bus clock;
// the receiver at the other end gets it when its stop bit has gone. The flags follow: TXE while
// the data register is empty, TC once the line is idle with nothing waiting. Their interrupts
// (TXEIE, TCIE) are level-sensitive: raised again after the handler as long as the condition
// holds. The vendor library's polling transmit waits for the line and for each byte in the
// sender; its interrupt-driven transmit refills the data register from the interrupt.
#include <array>
#include <functional>

#include "simhal.h"
#include "simkernel.h"

extern "C" {
USART_TypeDef sim_USART[9];
}

namespace {

// The device at the other end of each line.
std::array<std::function<void(std::uint8_t)>, 9>& receivers() {
  static std::array<std::function<void(std::uint8_t)>, 9> r;
  return r;
}

struct Transmitter {
  bool dataFull = false;  // the data register holds a byte
  bool shifting = false;  // the shift register is sending one
  std::uint8_t data = 0;
  std::uint8_t shift = 0;
  simk::Time shiftEnd = 0;
  bool irqQueued = false;
};

std::array<Transmitter, 9>& transmitters() {
  static std::array<Transmitter, 9> t;
  return t;
}

int indexOf(const USART_TypeDef* u) { return static_cast<int>(u - sim_USART); }
bool valid(int i) { return i >= 0 && i < 9; }

std::uint32_t busClock(const USART_TypeDef* u) {
  return (u == USART1 || u == USART6) ? simhal::pclk2() : simhal::pclk1();
}

IRQn_Type irqOf(int i) {
  switch (i) {
    case 1: return USART1_IRQn;
    case 2: return USART2_IRQn;
    case 3: return USART3_IRQn;
    case 6: return USART6_IRQn;
    default: return static_cast<IRQn_Type>(-1);
  }
}

// Start, eight data bits and stop at the programmed baud rate.
simk::Time byteTime(const UART_HandleTypeDef* huart) {
  const std::uint32_t clock = busClock(huart->Instance);
  const bool over8 = huart->Init.OverSampling == UART_OVERSAMPLING_8;
  return 10 * static_cast<simk::Time>(huart->Instance->BRR) * simk::kS /
         (over8 ? 2ULL * clock : clock);
}

void deliver(int i, std::uint8_t byte) {
  if (receivers()[i]) receivers()[i](byte);
}

void refreshFlags(int i) {
  const Transmitter& t = transmitters()[i];
  std::uint32_t isr = sim_USART[i].ISR & ~(USART_ISR_TXE | USART_ISR_TC);
  if (!t.dataFull) isr |= USART_ISR_TXE;
  if (!t.dataFull && !t.shifting) isr |= USART_ISR_TC;
  sim_USART[i].ISR = isr;
}

bool wantsIrq(int i) {
  const std::uint32_t isr = sim_USART[i].ISR;
  const std::uint32_t cr1 = sim_USART[i].CR1;
  return ((isr & USART_ISR_TXE) != 0 && (cr1 & USART_CR1_TXEIE) != 0) ||
         ((isr & USART_ISR_TC) != 0 && (cr1 & USART_CR1_TCIE) != 0);
}

// Level-sensitive: the interrupt is taken (once) while its condition holds.
void updateIrq(int i) {
  Transmitter& t = transmitters()[i];
  const IRQn_Type irq = irqOf(i);
  if (t.irqQueued || static_cast<int>(irq) < 0 || !wantsIrq(i)) return;
  t.irqQueued = true;
  simk::schedule(simk::now(), simhal::irqPriority(irq), [i, irq] {
    transmitters()[i].irqQueued = false;
    if (wantsIrq(i)) simhal::raiseIrq(irq);
  });
}

void startShift(int i, simk::Time duration) {
  Transmitter& t = transmitters()[i];
  t.shift = t.data;
  t.dataFull = false;
  t.shifting = true;
  t.shiftEnd = simk::now() + duration;
  simk::schedule(t.shiftEnd, simk::kOrderBoard, [i, duration] {
    Transmitter& tx = transmitters()[i];
    tx.shifting = false;
    deliver(i, tx.shift);
    if (tx.dataFull) startShift(i, duration);
    refreshFlags(i);
    updateIrq(i);
  });
}

void writeData(UART_HandleTypeDef* huart, std::uint8_t byte) {
  const int i = indexOf(huart->Instance);
  Transmitter& t = transmitters()[i];
  t.data = byte;
  t.dataFull = true;
  if (!t.shifting) startShift(i, byteTime(huart));
  refreshFlags(i);
  updateIrq(i);
}

}  // namespace

namespace simhal {
void attachUartReceiver(const USART_TypeDef* uart, std::function<void(std::uint8_t)> receiver) {
  const int i = indexOf(uart);
  if (valid(i)) receivers()[i] = std::move(receiver);
}
}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_UART_MspInit(UART_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef* huart) {
  if (huart == nullptr || huart->Init.BaudRate == 0) return HAL_ERROR;
  simhal::record(
      "HAL_UART_Init", "USART%d baud=%u word=%u stop=%u parity=%u mode=%u flow=%u oversampling=%u",
      indexOf(huart->Instance), huart->Init.BaudRate, huart->Init.WordLength, huart->Init.StopBits,
      huart->Init.Parity, huart->Init.Mode, huart->Init.HwFlowCtl, huart->Init.OverSampling);
  if (huart->gState == HAL_UART_STATE_RESET) {
    huart->Lock = HAL_UNLOCKED;
    HAL_UART_MspInit(huart);
  }
  const std::uint32_t clock = busClock(huart->Instance);
  const std::uint32_t baud = huart->Init.BaudRate;
  const std::uint32_t div = huart->Init.OverSampling == UART_OVERSAMPLING_8
                                ? (2 * clock + baud / 2) / baud
                                : (clock + baud / 2) / baud;
  if (div < 16 || div > 0xFFFF) return HAL_ERROR;
  huart->Instance->BRR = div;
  huart->Instance->CR1 = USART_CR1_UE;
  if (valid(indexOf(huart->Instance))) refreshFlags(indexOf(huart->Instance));
  huart->ErrorCode = 0;
  huart->gState = HAL_UART_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* data, uint16_t size,
                                    uint32_t) {
  if (huart == nullptr || huart->gState != HAL_UART_STATE_READY) return HAL_BUSY;
  if (data == nullptr || size == 0) return HAL_ERROR;
  const int line = indexOf(huart->Instance);
  if (!valid(line)) return HAL_ERROR;
  huart->gState = HAL_UART_STATE_BUSY;
  // Whatever an interrupt-driven transfer left in the registers goes first.
  Transmitter& t = transmitters()[line];
  const simk::Time perByte = byteTime(huart);
  for (int round = 0; round < 3 && (t.shifting || t.dataFull); ++round) {
    const simk::Time left = t.shiftEnd > simk::now() ? t.shiftEnd - simk::now() : 0;
    simk::busyWait(left + (t.dataFull ? perByte : 0) + 1);
  }
  for (uint16_t i = 0; i < size; ++i) {
    simk::busyWait(perByte);
    deliver(line, data[i]);
  }
  huart->gState = HAL_UART_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Transmit_IT(UART_HandleTypeDef* huart, const uint8_t* data,
                                       uint16_t size) {
  if (huart == nullptr || huart->gState != HAL_UART_STATE_READY) return HAL_BUSY;
  if (data == nullptr || size == 0) return HAL_ERROR;
  const int line = indexOf(huart->Instance);
  if (!valid(line)) return HAL_ERROR;
  huart->pTxBuffPtr = data;
  huart->TxXferSize = size;
  huart->TxXferCount = size;
  huart->ErrorCode = 0;
  huart->gState = HAL_UART_STATE_BUSY_TX;
  huart->Instance->CR1 |= USART_CR1_TXEIE;
  refreshFlags(line);
  updateIrq(line);
  return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef* huart) {
  if (huart == nullptr) return HAL_ERROR;
  huart->Instance->CR1 &= ~(USART_CR1_TXEIE | USART_CR1_TCIE);
  huart->TxXferCount = 0;
  huart->gState = HAL_UART_STATE_READY;
  return HAL_OK;
}

__attribute__((weak)) void HAL_UART_TxCpltCallback(UART_HandleTypeDef*) {}

// The transmit part of the library's handler; a received byte is the application's to take.
void HAL_UART_IRQHandler(UART_HandleTypeDef* huart) {
  if (huart == nullptr) return;
  const std::uint32_t isr = huart->Instance->ISR;
  const std::uint32_t cr1 = huart->Instance->CR1;
  if ((isr & USART_ISR_TXE) != 0 && (cr1 & USART_CR1_TXEIE) != 0 &&
      huart->gState == HAL_UART_STATE_BUSY_TX) {
    if (huart->TxXferCount == 0) {
      huart->Instance->CR1 = (cr1 & ~USART_CR1_TXEIE) | USART_CR1_TCIE;
    } else {
      const std::uint8_t byte = *huart->pTxBuffPtr++;
      huart->TxXferCount = static_cast<uint16_t>(huart->TxXferCount - 1);
      writeData(huart, byte);
    }
  }
  if ((huart->Instance->ISR & USART_ISR_TC) != 0 && (huart->Instance->CR1 & USART_CR1_TCIE) != 0) {
    huart->Instance->CR1 &= ~USART_CR1_TCIE;
    huart->gState = HAL_UART_STATE_READY;
    HAL_UART_TxCpltCallback(huart);
  }
  const int line = indexOf(huart->Instance);
  if (valid(line)) updateIrq(line);
}

HAL_StatusTypeDef HAL_UART_Receive(UART_HandleTypeDef* huart, uint8_t* data, uint16_t size,
                                   uint32_t timeout) {
  (void)data;
  (void)size;
  // Nothing is ever received on the console line.
  if (huart == nullptr) return HAL_ERROR;
  if (timeout > 0 && timeout != HAL_MAX_DELAY) simk::busyWait(timeout * simk::kMs);
  return HAL_TIMEOUT;
}

void sim_uart_enable_it(UART_HandleTypeDef* huart, uint32_t it) {
  if (it == UART_IT_RXNE) huart->Instance->CR1 |= USART_CR1_RXNEIE;
}

}  // extern "C"
