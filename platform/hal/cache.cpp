// The Cortex-M7 data cache, as far as DMA is concerned: the processor writes into its cache,
// and main memory, which a DMA reads, only gets a line when the line is cleaned.
//
// The model keeps, for each 32-byte line that SCB_CleanDCache_by_Addr (or the clean-and-
// invalidate form) has cleaned, a copy of the line as it was cleaned: that is what memory
// holds. A DMA read (dmaRead) compares each line with its copy. A line that differs was written
// after its last clean; a line never cleaned may still sit only in the cache. Either is stale:
// the read returns the copy (or, for a line never cleaned, the processor's content, the best
// guess) and counts the line, so that the peripheral model reports a violation. With the data
// cache off (SCB_EnableDCache not called) memory is the processor's view and nothing is stale.
//
// Simplifications: lines are never evicted by themselves (on the chip a dirty line may reach
// memory at any time, which is why a clean is required); SCB_CleanDCache (the whole cache)
// takes a copy of every line the model keeps and lets all others count as clean;
// SCB_InvalidateDCache_by_Addr forgets the lines (the model has no DMA writing to memory).
#include <array>
#include <cstring>
#include <unordered_map>

#include "runtime_heap.h"
#include "simcache.h"
#include "stm32f7xx.h"

namespace simcache {
namespace {

using Line = std::array<std::uint8_t, kLineBytes>;

struct Cache {
  std::unordered_map<std::uintptr_t, Line> cleaned;  // line address -> memory's copy
  bool allCleaned = false;                           // SCB_CleanDCache since the last reset
};

Cache& cache() {
  static Cache c;
  return c;
}

std::uintptr_t lineOf(std::uintptr_t a) { return a & ~static_cast<std::uintptr_t>(kLineBytes - 1); }

void clean(const void* address, std::int32_t bytes) {
  if (bytes <= 0) return;
  simruntime::HostScope host;  // the model's memory, not the firmware's
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t end = start + static_cast<std::uintptr_t>(bytes);
  for (std::uintptr_t line = lineOf(start); line < end; line += kLineBytes) {
    Line& copy = cache().cleaned[line];
    std::memcpy(copy.data(), reinterpret_cast<const void*>(line), kLineBytes);
  }
}

}  // namespace

bool dataCacheOn() { return (sim_SCB.CCR & (1U << 16)) != 0; }

void reset() {
  cache().cleaned.clear();
  cache().allCleaned = false;
}

std::size_t dmaRead(const void* address, std::size_t bytes, void* out) {
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  auto* dst = static_cast<std::uint8_t*>(out);
  std::memcpy(dst, address, bytes);
  if (!dataCacheOn() || bytes == 0) return 0;
  std::size_t stale = 0;
  const std::uintptr_t end = start + bytes;
  for (std::uintptr_t line = lineOf(start); line < end; line += kLineBytes) {
    const auto it = cache().cleaned.find(line);
    if (it == cache().cleaned.end()) {
      if (!cache().allCleaned) ++stale;
      continue;
    }
    // The part of this line inside the range.
    const std::uintptr_t from = line < start ? start : line;
    const std::uintptr_t to = line + kLineBytes > end ? end : line + kLineBytes;
    const std::uint8_t* memory = it->second.data() + (from - line);
    if (std::memcmp(reinterpret_cast<const void*>(from), memory, to - from) != 0) {
      ++stale;
      std::memcpy(dst + (from - start), memory, to - from);
    }
  }
  return stale;
}

}  // namespace simcache

extern "C" {

void SCB_CleanDCache(void) {
  for (auto& [line, copy] : simcache::cache().cleaned) {
    std::memcpy(copy.data(), reinterpret_cast<const void*>(line), simcache::kLineBytes);
  }
  simcache::cache().allCleaned = true;
}

void SCB_CleanDCache_by_Addr(uint32_t* addr, int32_t dsize) { simcache::clean(addr, dsize); }

void SCB_InvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize) {
  if (dsize <= 0) return;
  const auto start = reinterpret_cast<std::uintptr_t>(addr);
  const std::uintptr_t end = start + static_cast<std::uintptr_t>(dsize);
  for (std::uintptr_t line = simcache::lineOf(start); line < end; line += simcache::kLineBytes) {
    simcache::cache().cleaned.erase(line);
  }
}

void SCB_CleanInvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize) {
  simcache::clean(addr, dsize);
}

}  // extern "C"
