// Serial audio interface: SAI2 block A sending to the device on its data lines (simsai.h),
// fed by its transmit DMA stream in circular mode.
//
// A transmission sends one audio frame per period of the block's audio frequency (the
// frequency given to HAL_SAI_Init; set again while sending, the block carries on at the new
// one from that moment). Each frame takes one 16-bit item from the DMA's buffer for every
// active slot; slots 0 and 2 go to the receiver as left and right (a slot not sent is 0).
// The DMA reads a half of its buffer when it starts on it, through the data-cache model:
// lines written after their last clean are reported as a `cache` violation in the trace, and
// the frames are what memory held. When the last frame of a half has gone, the DMA raises
// its half-transfer (first half) or transfer-complete (second half) interrupt and goes on
// with the other half; in circular mode it never stops by itself. Frames go to the receiver
// the board's wiring attached as they are due, in virtual time; `audio` trace events mark
// each start (with the rate; a rate change while sending is a new start) and stop.
//
// Simplifications: the frequency is exact (the chip's audio PLL only approximates 44.1 kHz
// and its multiples); FIFO, companding, mono mode and the receive side (block B) are not
// modelled; the active slots are taken when a transmission starts; a DMA transfer error
// never happens.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime_heap.h"
#include "simcache.h"
#include "simdma.h"
#include "simhal.h"
#include "simkernel.h"
#include "simsai.h"
#include "trace.h"

extern "C" {
SAI_TypeDef sim_SAI2;
SAI_Block_TypeDef sim_SAI2_Block_A;
SAI_Block_TypeDef sim_SAI2_Block_B;
}

namespace {

struct Link {
  simhal::SaiReceiver* receiver = nullptr;
  SAI_HandleTypeDef* hsai = nullptr;
  bool sending = false;
  const std::uint8_t* buffer = nullptr;
  std::uint32_t items = 0;       // 16-bit items in the circular buffer
  std::uint32_t perFrame = 2;    // items a frame takes (active slots)
  std::uint32_t slotMask = 0x5;  // active slots
  int leftItem = 0;              // the item of slot 0 in a frame (-1: not sent)
  int rightItem = 1;             // the item of slot 2 in a frame (-1: not sent)
  std::uint32_t halfFrames = 0;
  std::uint32_t rate = 0;
  std::uint64_t pos = 0;  // frames sent in this transmission
  simk::Time segStart = 0;
  std::uint64_t segPos = 0;  // pos when the rate last took effect
  int halfIndex = 0;         // the half being sent
  std::uint64_t halfStart = 0;
  std::vector<std::int16_t> half;  // its frames (left, right) as the DMA read them
  std::vector<std::int16_t> raw;   // the half's items as the DMA read them
  simk::EventId boundary = 0;
};

Link& link() {
  static Link l;
  return l;
}

std::uint64_t framesIn(simk::Time span, std::uint32_t rate) {
  return static_cast<std::uint64_t>(static_cast<unsigned __int128>(span) * rate / simk::kS);
}

simk::Time spanOf(std::uint64_t frames, std::uint32_t rate) {
  const unsigned __int128 ns = static_cast<unsigned __int128>(frames) * simk::kS;
  return static_cast<simk::Time>((ns + rate - 1) / rate);
}

void emitUpTo(Link& l, simk::Time t) {
  if (!l.sending || l.rate == 0 || t < l.segStart) return;
  std::uint64_t due = l.segPos + framesIn(t - l.segStart, l.rate);
  const std::uint64_t halfEnd = l.halfStart + l.halfFrames;
  if (due > halfEnd) due = halfEnd;
  if (due <= l.pos) return;
  if (l.receiver != nullptr) l.receiver->frames(&l.half[(l.pos - l.halfStart) * 2], due - l.pos);
  l.pos = due;
}

// The DMA starts on a half: it reads it from memory. Frames of two slots are read as they are,
// straight into the half's frames.
void readHalf(Link& l) {
  simruntime::HostScope host;  // the model's memory, not the firmware's
  const std::uint32_t itemsPerHalf = l.items / 2;
  const std::size_t bytes = itemsPerHalf * 2u;
  const std::uint8_t* from = l.buffer + static_cast<std::size_t>(l.halfIndex) * bytes;
  const bool asRead = l.leftItem == 0 && l.rightItem == 1 && l.perFrame == 2;
  l.half.resize(std::max<std::size_t>(static_cast<std::size_t>(l.halfFrames) * 2, itemsPerHalf));
  if (!asRead) l.raw.resize(itemsPerHalf);
  std::int16_t* items = asRead ? l.half.data() : l.raw.data();
  const std::size_t stale = simcache::dmaRead(from, bytes, items);
  if (stale != 0) {
    simtrace::Event("cache")
        .str("violation", "DMA read of lines not cleaned since they were written")
        .str("by", simhal::dmaName(l.hsai->hdmatx->Instance))
        .unum("half", static_cast<std::uint64_t>(l.halfIndex))
        .unum("bytes", bytes)
        .unum("lines", stale);
  }
  if (asRead) return;
  std::int16_t* out = l.half.data();
  const std::uint32_t step = l.perFrame;
  const int left = l.leftItem, right = l.rightItem;
  for (std::uint32_t f = 0; f < l.halfFrames; ++f) {
    const std::int16_t* frame = items + static_cast<std::size_t>(f) * step;
    out[2 * f] = left >= 0 ? frame[left] : 0;
    out[2 * f + 1] = right >= 0 ? frame[right] : 0;
  }
}

void scheduleBoundary(Link& l);

void stopSending(Link& l) {
  if (!l.sending) return;
  emitUpTo(l, simk::now());
  if (l.boundary != 0) simk::cancel(l.boundary);
  l.boundary = 0;
  l.sending = false;
  if (l.receiver != nullptr) l.receiver->linkStop();
  simtrace::Event("audio").str("state", "stop").unum("rate", l.rate);
}

void atBoundary() {
  Link& l = link();
  l.boundary = 0;
  if (!l.sending) return;
  DMA_HandleTypeDef* hdma = l.hsai->hdmatx;
  if (!simhal::dmaEnabled(hdma->Instance)) {
    stopSending(l);
    return;
  }
  emitUpTo(l, simk::now());
  const int finished = l.halfIndex;
  l.halfIndex ^= 1;
  l.halfStart = l.pos;
  readHalf(l);
  scheduleBoundary(l);
  if (finished == 0) {
    simhal::dmaHalfTransfer(hdma);
  } else {
    simhal::dmaTransferComplete(hdma);
  }
}

void scheduleBoundary(Link& l) {
  if (l.rate == 0 || l.halfFrames == 0) return;
  const simk::Time at = l.segStart + spanOf(l.halfStart + l.halfFrames - l.segPos, l.rate);
  const IRQn_Type irq = simhal::dmaIrq(l.hsai->hdmatx->Instance);
  l.boundary = simk::schedule(
      at, simhal::irqPriority(irq), [](void*) { atBoundary(); }, nullptr);
}

void takeSettings(Link& l, const SAI_HandleTypeDef* hsai) {
  l.slotMask = hsai->SlotInit.SlotActive & ((1U << (hsai->SlotInit.SlotNumber & 15)) - 1U);
  if (hsai->SlotInit.SlotNumber == 0) l.slotMask = hsai->SlotInit.SlotActive & 0xFFFF;
  l.perFrame = static_cast<std::uint32_t>(__builtin_popcount(l.slotMask));
  if (l.perFrame == 0) l.perFrame = 1;
  // A frame's items are its active slots in order.
  auto itemOf = [&l](unsigned slot) {
    if ((l.slotMask & (1U << slot)) == 0) return -1;
    return __builtin_popcount(l.slotMask & ((1U << slot) - 1U));
  };
  l.leftItem = itemOf(0);
  l.rightItem = itemOf(2);
}

void dmaHalf(DMA_HandleTypeDef* hdma) {
  HAL_SAI_TxHalfCpltCallback(static_cast<SAI_HandleTypeDef*>(hdma->Parent));
}
void dmaComplete(DMA_HandleTypeDef* hdma) {
  HAL_SAI_TxCpltCallback(static_cast<SAI_HandleTypeDef*>(hdma->Parent));
}
void dmaError(DMA_HandleTypeDef* hdma) {
  auto* hsai = static_cast<SAI_HandleTypeDef*>(hdma->Parent);
  hsai->ErrorCode |= HAL_SAI_ERROR_DMA;
  HAL_SAI_ErrorCallback(hsai);
}

}  // namespace

namespace simhal {

void attachSaiReceiver(const SAI_Block_TypeDef* block, SaiReceiver* receiver) {
  // Only block A transmits on this model.
  if (block == SAI2_Block_A) link().receiver = receiver;
}

void saiCatchUp(const SAI_Block_TypeDef* block) {
  if (block == SAI2_Block_A) emitUpTo(link(), simk::now());
}

}  // namespace simhal

extern "C" {

__attribute__((weak)) void HAL_SAI_MspInit(SAI_HandleTypeDef*) {}
__attribute__((weak)) void HAL_SAI_MspDeInit(SAI_HandleTypeDef*) {}
__attribute__((weak)) void HAL_SAI_TxHalfCpltCallback(SAI_HandleTypeDef*) {}
__attribute__((weak)) void HAL_SAI_TxCpltCallback(SAI_HandleTypeDef*) {}
__attribute__((weak)) void HAL_SAI_ErrorCallback(SAI_HandleTypeDef*) {}

HAL_StatusTypeDef HAL_SAI_Init(SAI_HandleTypeDef* hsai) {
  if (hsai == nullptr || hsai->Instance == nullptr) return HAL_ERROR;
  if (hsai->State == HAL_SAI_STATE_RESET) {
    hsai->Lock = HAL_UNLOCKED;
    HAL_SAI_MspInit(hsai);
  }
  simhal::record("HAL_SAI_Init", "%s mode=%u freq=%u datasize=0x%x frame=%u slots=%u active=0x%x",
                 hsai->Instance == SAI2_Block_A ? "SAI2_Block_A" : "SAI2_Block_B",
                 hsai->Init.AudioMode, hsai->Init.AudioFrequency, hsai->Init.DataSize,
                 hsai->FrameInit.FrameLength, hsai->SlotInit.SlotNumber, hsai->SlotInit.SlotActive);
  Link& l = link();
  if (hsai->Instance == SAI2_Block_A) {
    const std::uint32_t rate = hsai->Init.AudioFrequency;
    if (l.sending && l.hsai == hsai) {
      // Re-timed while sending: the frames due so far went at the old rate.
      emitUpTo(l, simk::now());
      if (rate != l.rate) {
        if (l.boundary != 0) simk::cancel(l.boundary);
        l.boundary = 0;
        l.rate = rate;
        l.segStart = simk::now();
        l.segPos = l.pos;
        if (l.receiver != nullptr) l.receiver->linkStart(l.segStart, rate);
        simtrace::Event("audio").str("state", "start").unum("rate", rate);
        scheduleBoundary(l);
      }
    }
  }
  hsai->ErrorCode = HAL_SAI_ERROR_NONE;
  hsai->State = l.sending && l.hsai == hsai ? HAL_SAI_STATE_BUSY_TX : HAL_SAI_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_SAI_DeInit(SAI_HandleTypeDef* hsai) {
  if (hsai == nullptr) return HAL_ERROR;
  Link& l = link();
  if (l.hsai == hsai) stopSending(l);
  __HAL_SAI_DISABLE(hsai);
  HAL_SAI_MspDeInit(hsai);
  hsai->State = HAL_SAI_STATE_RESET;
  return HAL_OK;
}

HAL_SAI_StateTypeDef HAL_SAI_GetState(SAI_HandleTypeDef* hsai) { return hsai->State; }

HAL_StatusTypeDef HAL_SAI_Transmit_DMA(SAI_HandleTypeDef* hsai, uint8_t* pData, uint16_t Size) {
  if (hsai == nullptr || pData == nullptr || Size == 0) return HAL_ERROR;
  if (hsai->State != HAL_SAI_STATE_READY) return HAL_BUSY;
  DMA_HandleTypeDef* hdma = hsai->hdmatx;
  if (hdma == nullptr) return HAL_ERROR;
  hsai->pBuffPtr = pData;
  hsai->XferSize = Size;
  hsai->XferCount = Size;
  hdma->XferHalfCpltCallback = dmaHalf;
  hdma->XferCpltCallback = dmaComplete;
  hdma->XferErrorCallback = dmaError;
  if (HAL_DMA_Start_IT(hdma, pData, const_cast<const uint32_t*>(&hsai->Instance->DR), Size) !=
      HAL_OK)
    return HAL_ERROR;
  hsai->State = HAL_SAI_STATE_BUSY_TX;
  hsai->Instance->CR1 |= SAI_xCR1_DMAEN | SAI_xCR1_SAIEN;
  if (hsai->Instance != SAI2_Block_A) return HAL_OK;

  Link& l = link();
  if (l.sending) stopSending(l);
  l.hsai = hsai;
  l.buffer = pData;
  l.items = Size;
  takeSettings(l, hsai);
  l.halfFrames = l.items / 2 / l.perFrame;
  l.rate = hsai->Init.AudioFrequency;
  l.pos = 0;
  l.segStart = simk::now();
  l.segPos = 0;
  l.halfIndex = 0;
  l.halfStart = 0;
  l.sending = true;
  if (l.receiver != nullptr) l.receiver->linkStart(l.segStart, l.rate);
  simtrace::Event("audio").str("state", "start").unum("rate", l.rate);
  readHalf(l);
  scheduleBoundary(l);
  return HAL_OK;
}

HAL_StatusTypeDef HAL_SAI_DMAStop(SAI_HandleTypeDef* hsai) {
  if (hsai == nullptr) return HAL_ERROR;
  Link& l = link();
  if (l.hsai == hsai) stopSending(l);
  hsai->Instance->CR1 &= ~(SAI_xCR1_DMAEN | SAI_xCR1_SAIEN);
  if (hsai->hdmatx != nullptr) (void)HAL_DMA_Abort(hsai->hdmatx);
  if (hsai->hdmarx != nullptr) (void)HAL_DMA_Abort(hsai->hdmarx);
  hsai->State = HAL_SAI_STATE_READY;
  return HAL_OK;
}

void HAL_SAI_IRQHandler(SAI_HandleTypeDef*) {}

}  // extern "C"
