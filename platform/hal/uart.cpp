// USART in polling mode: a transmitted byte occupies the line for ten bit times (start,
// eight data bits, stop) at the baud rate the divider gives from the bus clock; the sender
// waits for it, as the vendor library's polling transmit does.
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

int indexOf(const USART_TypeDef* u) { return static_cast<int>(u - sim_USART); }

std::uint32_t busClock(const USART_TypeDef* u) {
  return (u == USART1 || u == USART6) ? simhal::pclk2() : simhal::pclk1();
}

}  // namespace

namespace simhal {
void attachUartReceiver(const USART_TypeDef* uart, std::function<void(std::uint8_t)> receiver) {
  const int i = indexOf(uart);
  if (i >= 0 && i < 9) receivers()[i] = std::move(receiver);
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
  huart->Instance->CR1 = 1;  // enabled
  huart->Instance->ISR = USART_ISR_TXE | USART_ISR_TC;
  huart->ErrorCode = 0;
  huart->gState = HAL_UART_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* data, uint16_t size,
                                    uint32_t) {
  if (huart == nullptr || huart->gState != HAL_UART_STATE_READY) return HAL_BUSY;
  if (data == nullptr || size == 0) return HAL_ERROR;
  const std::uint32_t clock = busClock(huart->Instance);
  const bool over8 = huart->Init.OverSampling == UART_OVERSAMPLING_8;
  const simk::Time bitNs =
      static_cast<simk::Time>(huart->Instance->BRR) * simk::kS / (over8 ? 2ULL * clock : clock);
  huart->gState = HAL_UART_STATE_BUSY;
  const int line = indexOf(huart->Instance);
  for (uint16_t i = 0; i < size; ++i) {
    simk::busyWait(10 * bitNs);
    if (line >= 0 && line < 9 && receivers()[line]) receivers()[line](data[i]);
  }
  huart->gState = HAL_UART_STATE_READY;
  return HAL_OK;
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
  if (it == UART_IT_RXNE) huart->Instance->CR1 |= 1U << 5;
}

}  // extern "C"
