// SPI controllers in master mode with the chip support library's polling transfers.
//
// The bit clock is the bus clock (APB1 for SPI2 and SPI3, APB2 for the others) divided by
// the baud-rate prescaler. A transfer takes virtual time as a busy wait of the calling
// context, frame by frame, and each frame is exchanged with the device on the bus when its
// last bit has been clocked:
// - transmit only (HAL_SPI_Transmit): the transmit FIFO keeps the line busy, so frames follow
//   each other without a gap: 8 bit times a byte;
// - full duplex (HAL_SPI_TransmitReceive, and HAL_SPI_Receive, which sends dummy bytes in
//   two-line master mode): the driver waits for each received byte before it sends the next,
//   which leaves a gap of about two bit times at 12.5 MHz (some 30 processor cycles at
//   200 MHz): 10 bit times a byte.
// At 12.5 MHz the settings record (16,660 bytes) thus takes 10.7 ms to write and 13.3 ms to
// read.
//
// Simplified: only 8-bit frames are exchanged (wider frames are sent as their low byte); the
// clock polarity, phase and bit order are recorded in the trace but not matched against the
// device, which always understands them. No CRC, no interrupt or DMA transfers. The bus never
// stalls, so the time-outs never expire.
#include <array>

#include "simhal.h"
#include "simkernel.h"
#include "simspi.h"

extern "C" {
SPI_TypeDef sim_SPI[7];
}

namespace {

constexpr int kControllers = 7;

struct Controller {
  simhal::SpiDevice device;
  std::uint64_t bitNs = 0;
};

std::array<Controller, kControllers>& controllers() {
  static std::array<Controller, kControllers> c;
  return c;
}

int indexOf(const SPI_TypeDef* spi) {
  const long i = spi - sim_SPI;
  return (i >= 1 && i < kControllers) ? static_cast<int>(i) : -1;
}

std::uint32_t busClock(int index) {
  return (index == 2 || index == 3) ? simhal::pclk1() : simhal::pclk2();
}

bool validPrescaler(std::uint32_t br) { return (br & ~0x38U) == 0; }

// Sends and receives `size` frames; either buffer may be null (dummy bytes out, nothing kept).
HAL_StatusTypeDef exchange(SPI_HandleTypeDef* hspi, const uint8_t* tx, uint8_t* rx, uint16_t size,
                           bool fullDuplex, HAL_SPI_StateTypeDef busy) {
  if (hspi == nullptr) return HAL_ERROR;
  if (hspi->State != HAL_SPI_STATE_READY) return HAL_BUSY;
  if (size == 0 || (tx == nullptr && rx == nullptr)) return HAL_ERROR;
  const int idx = indexOf(hspi->Instance);
  if (idx < 0) return HAL_ERROR;
  Controller& c = controllers()[idx];
  hspi->State = busy;
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->Instance->CR1 |= 1U << 6;  // SPE: the driver enables the controller at its first use
  const simk::Time frameNs = c.bitNs * (fullDuplex ? 10 : 8);
  for (uint16_t i = 0; i < size; ++i) {
    simk::busyWait(frameNs);
    const std::uint8_t out = tx != nullptr ? tx[i] : 0xFF;
    const std::uint8_t in = c.device ? c.device(out) : 0xFF;
    if (rx != nullptr) rx[i] = in;
  }
  hspi->State = HAL_SPI_STATE_READY;
  return HAL_OK;
}

}  // namespace

namespace simhal {

void attachSpiDevice(const SPI_TypeDef* spi, SpiDevice device) {
  const int idx = indexOf(spi);
  if (idx >= 0) controllers()[idx].device = std::move(device);
}

std::uint64_t spiFrameNs(const SPI_TypeDef* spi) {
  const int idx = indexOf(spi);
  return idx < 0 ? 0 : 8 * controllers()[idx].bitNs;
}

}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_SPI_MspInit(SPI_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_SPI_Init(SPI_HandleTypeDef* hspi) {
  if (hspi == nullptr) return HAL_ERROR;
  const int idx = indexOf(hspi->Instance);
  const SPI_InitTypeDef& in = hspi->Init;
  simhal::record("HAL_SPI_Init",
                 "SPI%d mode=0x%x direction=0x%x size=0x%x cpol=%u cpha=%u nss=0x%x "
                 "prescaler=0x%x firstbit=0x%x crc=0x%x",
                 idx, in.Mode, in.Direction, in.DataSize, in.CLKPolarity, in.CLKPhase, in.NSS,
                 in.BaudRatePrescaler, in.FirstBit, in.CRCCalculation);
  if (idx < 0 || !validPrescaler(in.BaudRatePrescaler)) return HAL_ERROR;
  if (hspi->State == HAL_SPI_STATE_RESET) {
    hspi->Lock = HAL_UNLOCKED;
    HAL_SPI_MspInit(hspi);
  }
  hspi->State = HAL_SPI_STATE_BUSY;
  const std::uint32_t divider = 2U << (in.BaudRatePrescaler >> 3);
  controllers()[idx].bitNs = static_cast<std::uint64_t>(divider) * simk::kS / busClock(idx);
  hspi->Instance->CR1 = in.Mode | in.Direction | in.CLKPolarity | in.CLKPhase | (in.NSS & 0xFFFFU) |
                        in.BaudRatePrescaler | in.FirstBit | in.CRCCalculation;
  hspi->Instance->CR2 = in.DataSize | in.TIMode | in.NSSPMode | (in.NSS >> 16);
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->State = HAL_SPI_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_SPI_Transmit(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size,
                                   uint32_t) {
  if (pData == nullptr) return HAL_ERROR;
  return exchange(hspi, pData, nullptr, Size, false, HAL_SPI_STATE_BUSY_TX);
}

HAL_StatusTypeDef HAL_SPI_Receive(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size,
                                  uint32_t) {
  if (pData == nullptr) return HAL_ERROR;
  return exchange(hspi, nullptr, pData, Size, true, HAL_SPI_STATE_BUSY_RX);
}

HAL_StatusTypeDef HAL_SPI_TransmitReceive(SPI_HandleTypeDef* hspi, uint8_t* pTxData,
                                          uint8_t* pRxData, uint16_t Size, uint32_t) {
  if (pTxData == nullptr || pRxData == nullptr) return HAL_ERROR;
  return exchange(hspi, pTxData, pRxData, Size, true, HAL_SPI_STATE_BUSY_TX_RX);
}

HAL_SPI_StateTypeDef HAL_SPI_GetState(SPI_HandleTypeDef* hspi) { return hspi->State; }

}  // extern "C"
