#include "usart1.h"

#include "irq_prio.h"

bool Usart1::initialized = false;
UART_HandleTypeDef Usart1::huart;

void Usart1::initUsart() {
  huart.Instance = USART1;
  huart.Init.BaudRate = 256000;
  huart.Init.WordLength = UART_WORDLENGTH_8B;
  huart.Init.StopBits = UART_STOPBITS_1;
  huart.Init.Parity = UART_PARITY_NONE;
  huart.Init.Mode = UART_MODE_TX_RX;
  huart.Init.HwFlowCtl = UART_HWCONTROL_NONE;
  huart.Init.OverSampling = UART_OVERSAMPLING_16;
  huart.Init.OneBitSampling = UART_ONE_BIT_SAMPLE_DISABLE;
  huart.AdvancedInit.AdvFeatureInit = UART_ADVFEATURE_NO_INIT;
  if (HAL_UART_Init(&huart) != HAL_OK) {
    for (;;) __WFI();
  }
  // Drop whatever byte may be waiting from before.
  (void)huart.Instance->RDR;
  HAL_NVIC_SetPriority(USART1_IRQn, irq_prio::CONSOLE, 0);
  HAL_NVIC_EnableIRQ(USART1_IRQn);
  __HAL_UART_ENABLE_IT(&huart, UART_IT_RXNE);
}

// Transmit on PA9, receive on PB7, both alternate function 7 with pull-up at very high speed.
extern "C" void HAL_UART_MspInit(UART_HandleTypeDef* huart) {
  if (huart->Instance != USART1) return;
  GPIO_InitTypeDef gpio = {};
  gpio.Pin = GPIO_PIN_9;
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_PULLUP;
  gpio.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
  gpio.Alternate = GPIO_AF7_USART1;
  HAL_GPIO_Init(GPIOA, &gpio);
  gpio.Pin = GPIO_PIN_7;
  gpio.Mode = GPIO_MODE_AF_OD;
  HAL_GPIO_Init(GPIOB, &gpio);
}

// Every byte of printf, puts and the output stream ends here.
extern "C" int __io_putchar(int ch) {
  if (!Usart1::initialized) return ch;
  const uint8_t byte = static_cast<uint8_t>(ch);
  (void)HAL_UART_Transmit(&Usart1::huart, &byte, 1, 10);
  return ch;
}

extern "C" int _write(int file, char* ptr, int len) {
  (void)file;
  for (int i = 0; i < len; ++i) __io_putchar(ptr[i]);
  return len;
}
