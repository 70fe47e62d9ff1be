// DMA controllers DMA1 and DMA2, eight streams each: the stream registers, the status and
// flag-clear registers, the set-up of a stream and its interrupt entry.
//
// Simplifications: a stream does not move data on its own. The peripheral that paces it (the
// timer channel of the WS2811 chain, for one) takes the memory the firmware handed over and
// ends the transfer with dmaTransferComplete. Addresses are the host's, kept beside the
// 32-bit registers. FIFO, bursts and double-buffer mode are accepted and not modelled.
#include <array>

#include "simdma.h"
#include "simhal.h"

extern "C" {
DMA_TypeDef sim_DMA1;
DMA_TypeDef sim_DMA2;
DMA_Stream_TypeDef sim_DMA1_Stream[8];
DMA_Stream_TypeDef sim_DMA2_Stream[8];
}

namespace {

struct StreamRef {
  DMA_TypeDef* controller = nullptr;
  int controllerNumber = 0;  // 1 or 2
  int index = -1;            // 0..7
};

StreamRef lookUp(const DMA_Stream_TypeDef* s) {
  if (s >= sim_DMA1_Stream && s < sim_DMA1_Stream + 8) {
    return {&sim_DMA1, 1, static_cast<int>(s - sim_DMA1_Stream)};
  }
  if (s >= sim_DMA2_Stream && s < sim_DMA2_Stream + 8) {
    return {&sim_DMA2, 2, static_cast<int>(s - sim_DMA2_Stream)};
  }
  return {};
}

// Host memory of each stream's current transfer.
std::array<const void*, 16>& memories() {
  static std::array<const void*, 16> m{};
  return m;
}
int slotOf(const StreamRef& r) { return (r.controllerNumber - 1) * 8 + r.index; }

// A stream's flags sit at bit 0, 6, 16 or 22 of the low (streams 0-3) or high (4-7) register.
unsigned flagShift(int index) {
  static constexpr unsigned kShift[4] = {0, 6, 16, 22};
  return kShift[index % 4];
}

volatile uint32_t& statusRegister(const StreamRef& r) {
  return r.index < 4 ? r.controller->LISR : r.controller->HISR;
}

void clearFlags(const StreamRef& r, uint32_t flags) {
  const uint32_t bits = flags << flagShift(r.index);
  // The flag-clear register is write-only: writing a 1 clears the flag in the status register.
  if (r.index < 4) {
    r.controller->LIFCR = bits;
  } else {
    r.controller->HIFCR = bits;
  }
  statusRegister(r) &= ~bits;
}

constexpr uint32_t kAllFlags =
    DMA_FLAG_FEIF0_4 | DMA_FLAG_DMEIF0_4 | DMA_FLAG_TEIF0_4 | DMA_FLAG_HTIF0_4 | DMA_FLAG_TCIF0_4;

const char* directionName(uint32_t d) {
  switch (d) {
    case DMA_MEMORY_TO_PERIPH: return "m2p";
    case DMA_MEMORY_TO_MEMORY: return "m2m";
    default: return "p2m";
  }
}

}  // namespace

namespace simhal {

const void* dmaMemory(const DMA_Stream_TypeDef* stream) {
  const StreamRef r = lookUp(stream);
  return r.index < 0 ? nullptr : memories()[slotOf(r)];
}

bool dmaEnabled(const DMA_Stream_TypeDef* stream) { return (stream->CR & DMA_SxCR_EN) != 0; }

unsigned dmaChannel(const DMA_Stream_TypeDef* stream) { return (stream->CR >> 25) & 7U; }

IRQn_Type dmaIrq(const DMA_Stream_TypeDef* stream) {
  const StreamRef r = lookUp(stream);
  if (r.controllerNumber == 1) {
    return r.index == 7 ? DMA1_Stream7_IRQn : static_cast<IRQn_Type>(DMA1_Stream0_IRQn + r.index);
  }
  if (r.index <= 4) return static_cast<IRQn_Type>(DMA2_Stream0_IRQn + r.index);
  return static_cast<IRQn_Type>(DMA2_Stream5_IRQn + (r.index - 5));
}

const char* dmaName(const DMA_Stream_TypeDef* stream) {
  static const char* const kNames[16] = {
      "DMA1_Stream0", "DMA1_Stream1", "DMA1_Stream2", "DMA1_Stream3",
      "DMA1_Stream4", "DMA1_Stream5", "DMA1_Stream6", "DMA1_Stream7",
      "DMA2_Stream0", "DMA2_Stream1", "DMA2_Stream2", "DMA2_Stream3",
      "DMA2_Stream4", "DMA2_Stream5", "DMA2_Stream6", "DMA2_Stream7"};
  const StreamRef r = lookUp(stream);
  return r.index < 0 ? "DMA?" : kNames[slotOf(r)];
}

void dmaTransferComplete(DMA_HandleTypeDef* hdma) {
  DMA_Stream_TypeDef* s = hdma->Instance;
  const StreamRef r = lookUp(s);
  if (r.index < 0) return;
  s->NDTR = 0;
  statusRegister(r) |= DMA_FLAG_TCIF0_4 << flagShift(r.index);
  if ((s->CR & DMA_CIRCULAR) == 0) s->CR &= ~DMA_SxCR_EN;
  if ((s->CR & DMA_SxCR_TCIE) != 0) raiseIrq(dmaIrq(s));
}

void dmaHalfTransfer(DMA_HandleTypeDef* hdma) {
  DMA_Stream_TypeDef* s = hdma->Instance;
  const StreamRef r = lookUp(s);
  if (r.index < 0) return;
  statusRegister(r) |= DMA_FLAG_HTIF0_4 << flagShift(r.index);
  if ((s->CR & DMA_SxCR_HTIE) != 0) raiseIrq(dmaIrq(s));
}

}  // namespace simhal

extern "C" {

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr) return HAL_ERROR;
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0) return HAL_ERROR;
  const DMA_InitTypeDef& in = hdma->Init;
  simhal::record("HAL_DMA_Init",
                 "DMA%d_Stream%d channel=%u dir=%s pinc=%d minc=%d psize=%u msize=%u circular=%d "
                 "priority=%u fifo=%d",
                 r.controllerNumber, r.index, (in.Channel >> 25) & 7U, directionName(in.Direction),
                 in.PeriphInc == DMA_PINC_ENABLE, in.MemInc == DMA_MINC_ENABLE,
                 (in.PeriphDataAlignment >> 11) & 3U, (in.MemDataAlignment >> 13) & 3U,
                 in.Mode == DMA_CIRCULAR, (in.Priority >> 16) & 3U,
                 in.FIFOMode == DMA_FIFOMODE_ENABLE);
  hdma->State = HAL_DMA_STATE_BUSY;
  // A running stream is switched off first, as the vendor library does.
  hdma->Instance->CR &= ~DMA_SxCR_EN;
  hdma->Instance->CR = in.Channel | in.Direction | in.PeriphInc | in.MemInc |
                       in.PeriphDataAlignment | in.MemDataAlignment | in.Mode | in.Priority;
  hdma->Instance->FCR = in.FIFOMode | in.FIFOThreshold;
  hdma->StreamIndex = flagShift(r.index);
  clearFlags(r, kAllFlags);
  hdma->ErrorCode = HAL_DMA_ERROR_NONE;
  hdma->Lock = HAL_UNLOCKED;
  hdma->State = HAL_DMA_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_DeInit(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr) return HAL_ERROR;
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0) return HAL_ERROR;
  hdma->Instance->CR = 0;
  hdma->Instance->NDTR = 0;
  clearFlags(r, kAllFlags);
  memories()[slotOf(r)] = nullptr;
  hdma->State = HAL_DMA_STATE_RESET;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_Start_IT(DMA_HandleTypeDef* hdma, const void* src, const void* dst,
                                   uint32_t length) {
  if (hdma == nullptr) return HAL_ERROR;
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0 || length == 0 || length > 0xFFFF) return HAL_ERROR;
  if (hdma->State != HAL_DMA_STATE_READY) return HAL_BUSY;
  DMA_Stream_TypeDef* s = hdma->Instance;
  const bool toPeripheral = (s->CR & DMA_MEMORY_TO_PERIPH) != 0;
  const void* memory = toPeripheral ? src : dst;
  const void* peripheral = toPeripheral ? dst : src;
  memories()[slotOf(r)] = memory;
  s->NDTR = length;
  s->M0AR = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory));
  s->PAR = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(peripheral));
  clearFlags(r, kAllFlags);
  hdma->ErrorCode = HAL_DMA_ERROR_NONE;
  hdma->State = HAL_DMA_STATE_BUSY;
  s->CR |= DMA_SxCR_TCIE | DMA_SxCR_TEIE;
  if (hdma->XferHalfCpltCallback != nullptr) s->CR |= DMA_SxCR_HTIE;
  s->CR |= DMA_SxCR_EN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_Abort(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr) return HAL_ERROR;
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0) return HAL_ERROR;
  hdma->Instance->CR &= ~(DMA_SxCR_EN | DMA_SxCR_TCIE | DMA_SxCR_HTIE | DMA_SxCR_TEIE);
  clearFlags(r, kAllFlags);
  hdma->State = HAL_DMA_STATE_READY;
  return HAL_OK;
}

void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr) return;
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0) return;
  DMA_Stream_TypeDef* s = hdma->Instance;
  const uint32_t status = statusRegister(r) >> flagShift(r.index);
  if ((status & DMA_FLAG_HTIF0_4) != 0 && (s->CR & DMA_SxCR_HTIE) != 0) {
    clearFlags(r, DMA_FLAG_HTIF0_4);
    if (hdma->XferHalfCpltCallback != nullptr) hdma->XferHalfCpltCallback(hdma);
  }
  if ((status & DMA_FLAG_TCIF0_4) != 0 && (s->CR & DMA_SxCR_TCIE) != 0) {
    clearFlags(r, DMA_FLAG_TCIF0_4);
    if ((s->CR & DMA_CIRCULAR) == 0) {
      s->CR &= ~(DMA_SxCR_TCIE | DMA_SxCR_HTIE | DMA_SxCR_TEIE);
      hdma->State = HAL_DMA_STATE_READY;
    }
    if (hdma->XferCpltCallback != nullptr) hdma->XferCpltCallback(hdma);
  }
}

uint32_t HAL_DMA_GetError(DMA_HandleTypeDef* hdma) { return hdma->ErrorCode; }

uint32_t sim_dma_get_flag(const DMA_HandleTypeDef* hdma, uint32_t flag) {
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index < 0) return 0;
  return (statusRegister(r) >> flagShift(r.index)) & flag;
}

void sim_dma_clear_flag(const DMA_HandleTypeDef* hdma, uint32_t flag) {
  const StreamRef r = lookUp(hdma->Instance);
  if (r.index >= 0) clearFlags(r, flag);
}

}  // extern "C"
