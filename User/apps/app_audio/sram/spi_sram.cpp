#include "spi_sram.h"

#include <cstdio>

namespace {
// Both phases of a transfer; a time-out is not reported.
constexpr uint32_t TRANSFER_TIMEOUT_MS = 5000;
}  // namespace

void SpiSram::cs(uint8_t level) {
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, level != 0 ? GPIO_PIN_SET : GPIO_PIN_RESET);
}

void SpiSram::init() {
  __HAL_RCC_GPIOA_CLK_ENABLE();
  __HAL_RCC_GPIOB_CLK_ENABLE();
  __HAL_RCC_GPIOI_CLK_ENABLE();
  __HAL_RCC_SPI2_CLK_ENABLE();

  GPIO_InitTypeDef gpio = {};
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_NOPULL;
  gpio.Speed = GPIO_SPEED_FREQ_HIGH;
  gpio.Alternate = GPIO_AF5_SPI2;
  gpio.Pin = GPIO_PIN_1;  // clock
  HAL_GPIO_Init(GPIOI, &gpio);
  gpio.Pin = GPIO_PIN_14 | GPIO_PIN_15;  // data in, data out
  HAL_GPIO_Init(GPIOB, &gpio);

  // Deselected before the pin drives, so that the chip never sees a false start.
  cs(1);
  gpio.Pin = GPIO_PIN_8;
  gpio.Mode = GPIO_MODE_OUTPUT_PP;
  gpio.Alternate = 0;
  HAL_GPIO_Init(GPIOA, &gpio);

  SpiHandle.Instance = SPI2;
  SpiHandle.Init.Mode = SPI_MODE_MASTER;
  SpiHandle.Init.Direction = SPI_DIRECTION_2LINES;
  SpiHandle.Init.DataSize = SPI_DATASIZE_8BIT;
  SpiHandle.Init.CLKPolarity = SPI_POLARITY_LOW;
  SpiHandle.Init.CLKPhase = SPI_PHASE_1EDGE;
  SpiHandle.Init.NSS = SPI_NSS_SOFT;
  SpiHandle.Init.BaudRatePrescaler = SPI_BAUDRATEPRESCALER_4;
  SpiHandle.Init.FirstBit = SPI_FIRSTBIT_MSB;
  SpiHandle.Init.TIMode = SPI_TIMODE_DISABLE;
  SpiHandle.Init.CRCCalculation = SPI_CRCCALCULATION_DISABLE;
  SpiHandle.Init.CRCPolynomial = 7;
  SpiHandle.Init.CRCLength = SPI_CRC_LENGTH_DATASIZE;
  SpiHandle.Init.NSSPMode = SPI_NSS_PULSE_DISABLE;
  if (HAL_SPI_Init(&SpiHandle) != HAL_OK) puts("spi init error");
}

void SpiSram::transfer(uint8_t instruction, uint32_t address, uint8_t* data, uint16_t length) {
  uint8_t header[4] = {instruction, static_cast<uint8_t>(address >> 16),
                       static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  cs(0);
  (void)HAL_SPI_Transmit(&SpiHandle, header, sizeof header, TRANSFER_TIMEOUT_MS);
  if (instruction == writeCmd) {
    (void)HAL_SPI_Transmit(&SpiHandle, data, length, TRANSFER_TIMEOUT_MS);
  } else {
    (void)HAL_SPI_Receive(&SpiHandle, data, length, TRANSFER_TIMEOUT_MS);
  }
  cs(1);
}

void SpiSram::readBlock(uint32_t address, uint8_t* data, uint16_t length) {
  transfer(readCmd, address, data, length);
}

void SpiSram::writeBlock(uint32_t address, uint8_t* data, uint16_t length) {
  transfer(writeCmd, address, data, length);
}
