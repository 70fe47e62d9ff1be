// The DMA streams' side for the peripheral models that pace a transfer: the memory the
// firmware handed to a stream, and the end of the transfer with its flag and interrupt.
#pragma once

#include <cstdint>

#include "stm32f7xx_hal.h"

namespace simhal {

// The memory address given to the stream's current transfer; nullptr when none was started.
const void* dmaMemory(const DMA_Stream_TypeDef* stream);
// Whether the stream is enabled (a transfer runs).
bool dmaEnabled(const DMA_Stream_TypeDef* stream);
// The channel (request line 0..7) the stream is set to.
unsigned dmaChannel(const DMA_Stream_TypeDef* stream);
// The transfer of the handle's stream has moved its last item: NDTR 0, TCIF set, the stream
// disabled (unless circular), its interrupt raised when TCIE is set.
void dmaTransferComplete(DMA_HandleTypeDef* hdma);
// A circular stream has moved the first half of its items: HTIF set, its interrupt raised
// when HTIE is set.
void dmaHalfTransfer(DMA_HandleTypeDef* hdma);
// The stream's interrupt line.
IRQn_Type dmaIrq(const DMA_Stream_TypeDef* stream);
// The stream's name, "DMA2_Stream4"; "DMA?" for an address that is no stream.
const char* dmaName(const DMA_Stream_TypeDef* stream);

}  // namespace simhal
