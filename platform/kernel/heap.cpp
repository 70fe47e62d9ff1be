// The kernel heap: one static area managed first-fit, with free blocks kept in address order
// and merged with their neighbours when freed. Block headers hold 32-bit offsets and sizes,
// as on the 32-bit board, so the amounts used and the high-water mark match the device's.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FreeRTOS.h"
#include "simkernel.h"
#include "task.h"

#if configAPPLICATION_ALLOCATED_HEAP
// The application provides the heap's array and places it (a board test without the
// application gets the one of heap_area.cpp).
extern "C" std::uint8_t ucHeap[configTOTAL_HEAP_SIZE];
#endif

namespace {

constexpr std::uint32_t kHeapSize = configTOTAL_HEAP_SIZE;
constexpr std::uint32_t kAlign = portBYTE_ALIGNMENT;
constexpr std::uint32_t kHeader = 8;
constexpr std::uint32_t kMinBlock = 2 * kHeader;
constexpr std::uint32_t kAllocated = 0x80000000U;
constexpr std::uint32_t kNone = 0xFFFFFFFFU;

struct Block {
  std::uint32_t next;  // offset of the next free block
  std::uint32_t size;  // bytes including this header; top bit set while allocated
};
static_assert(sizeof(Block) == kHeader);

#if configAPPLICATION_ALLOCATED_HEAP
std::uint8_t (&area)[kHeapSize] = ucHeap;
#else
alignas(8) std::uint8_t area[kHeapSize];
#endif
Block start{kNone, 0};    // list head, outside the area
std::uint32_t endOffset;  // the end marker block, at the top of the area
bool initialised = false;
std::size_t freeBytes = 0;
std::size_t minimumEverFree = 0;

Block* at(std::uint32_t off) { return reinterpret_cast<Block*>(area + off); }
std::uint32_t offsetOf(const Block* b) {
  return static_cast<std::uint32_t>(reinterpret_cast<const std::uint8_t*>(b) - area);
}

void init() {
  endOffset = kHeapSize - kHeader;
  at(endOffset)->size = 0;
  at(endOffset)->next = kNone;
  at(0)->size = endOffset;
  at(0)->next = endOffset;
  start.next = 0;
  freeBytes = minimumEverFree = endOffset;
  initialised = true;
}

Block* nextOf(Block* b) { return b->next == kNone ? nullptr : at(b->next); }

void insertFree(Block* block) {
  Block* it = &start;
  while (it->next != kNone && it->next < offsetOf(block)) it = at(it->next);
  // Merge with the block before when they touch.
  if (it != &start && offsetOf(it) + it->size == offsetOf(block)) {
    it->size += block->size;
    block = it;
  }
  // Merge with the block after when they touch (never with the end marker).
  const std::uint32_t after = it->next;
  if (after != kNone && offsetOf(block) + block->size == after && after != endOffset) {
    block->size += at(after)->size;
    block->next = at(after)->next;
  } else {
    block->next = after;
  }
  if (it != block) it->next = offsetOf(block);
}

}  // namespace

extern "C" void* pvPortMalloc(size_t wanted) {
  vTaskSuspendAll();
  if (!initialised) init();
  void* result = nullptr;
  if (wanted > 0 && wanted < kAllocated - kHeader - kAlign) {
    std::uint32_t need = static_cast<std::uint32_t>(wanted) + kHeader;
    need = (need + kAlign - 1) & ~(kAlign - 1);
    if (need <= freeBytes) {
      Block* prev = &start;
      Block* b = nextOf(&start);
      while (b != nullptr && b->size < need && b->next != kNone) {
        prev = b;
        b = nextOf(b);
      }
      if (b != nullptr && offsetOf(b) != endOffset && b->size >= need) {
        prev->next = b->next;
        if (b->size - need > kMinBlock) {
          Block* rest = at(offsetOf(b) + need);
          rest->size = b->size - need;
          b->size = need;
          insertFree(rest);
        }
        freeBytes -= b->size;
        if (freeBytes < minimumEverFree) minimumEverFree = freeBytes;
        b->size |= kAllocated;
        b->next = kNone;
        result = reinterpret_cast<std::uint8_t*>(b) + kHeader;
      }
    }
  }
  (void)xTaskResumeAll();
  return result;
}

extern "C" void vPortFree(void* p) {
  if (p == nullptr) return;
  auto* b = reinterpret_cast<Block*>(static_cast<std::uint8_t*>(p) - kHeader);
  if ((b->size & kAllocated) == 0 || b->next != kNone) {
    simk::halt("configAssert: freeing a block that is not allocated");
  }
  vTaskSuspendAll();
  b->size &= ~kAllocated;
  freeBytes += b->size;
  insertFree(b);
  (void)xTaskResumeAll();
}

extern "C" size_t xPortGetFreeHeapSize(void) {
  if (!initialised) init();
  return freeBytes;
}

extern "C" size_t xPortGetMinimumEverFreeHeapSize(void) {
  if (!initialised) init();
  return minimumEverFree;
}

namespace simk {
std::size_t kernelHeapPeak() {
  if (!initialised) init();
  return endOffset - minimumEverFree;
}
std::size_t kernelHeapInUse() {
  if (!initialised) init();
  return endOffset - freeBytes;
}
}  // namespace simk
