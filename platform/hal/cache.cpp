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
#include <bitset>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "runtime_heap.h"
#include "simcache.h"
#include "stm32f7xx.h"

namespace simcache {
namespace {

using Line = std::array<std::uint8_t, kLineBytes>;

// The lines of one 4 KiB page the model keeps (a DMA buffer spans a page or two: a look-up a
// page, not a line).
constexpr std::size_t kPageLines = 128;
constexpr std::uintptr_t kPageBytes = kPageLines * kLineBytes;
struct Page {
  std::array<Line, kPageLines> copy;  // memory's copy of each kept line
  std::bitset<kPageLines> kept;
};

struct Cache {
  std::unordered_map<std::uintptr_t, std::unique_ptr<Page>> pages;  // page address -> its lines
  bool allCleaned = false;         // SCB_CleanDCache since the last reset
  std::uintptr_t lastAddress = 1;  // the page looked up last (1: none)
  Page* last = nullptr;
};

Cache& cache() {
  static Cache c;
  return c;
}

std::uintptr_t lineOf(std::uintptr_t a) { return a & ~static_cast<std::uintptr_t>(kLineBytes - 1); }

// The page at `address` (made when `make`; else null when the model keeps no line there).
Page* findPage(Cache& c, std::uintptr_t address, bool make) {
  const auto it = c.pages.find(address);
  Page* page = it == c.pages.end() ? nullptr : it->second.get();
  if (page == nullptr && make) page = (c.pages[address] = std::make_unique<Page>()).get();
  if (page != nullptr) {
    c.lastAddress = address;
    c.last = page;
  }
  return page;
}

// The page of `line`: most often the one looked up last.
inline Page* pageOf(Cache& c, std::uintptr_t line, bool make) {
  const std::uintptr_t address = line & ~(kPageBytes - 1);
  return address == c.lastAddress ? c.last : findPage(c, address, make);
}

std::size_t indexOf(std::uintptr_t line) { return (line % kPageBytes) / kLineBytes; }

void clean(const void* address, std::int32_t bytes) {
  if (bytes <= 0) return;
  simruntime::HostScope host;  // the model's memory, not the firmware's
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t end = start + static_cast<std::uintptr_t>(bytes);
  Cache& c = cache();
  for (std::uintptr_t line = lineOf(start); line < end; line += kLineBytes) {
    Page& page = *pageOf(c, line, true);
    const std::size_t i = indexOf(line);
    std::memcpy(page.copy[i].data(), reinterpret_cast<const void*>(line), kLineBytes);
    page.kept.set(i);
  }
}

}  // namespace

bool dataCacheOn() { return (sim_SCB.CCR & (1U << 16)) != 0; }

void reset() {
  cache().pages.clear();
  cache().lastAddress = 1;
  cache().last = nullptr;
  cache().allCleaned = false;
}

std::size_t dmaRead(const void* address, std::size_t bytes, void* out) {
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  auto* dst = static_cast<std::uint8_t*>(out);
  std::memcpy(dst, address, bytes);
  if (!dataCacheOn() || bytes == 0) return 0;
  std::size_t stale = 0;
  const std::uintptr_t end = start + bytes;
  Cache& c = cache();
  for (std::uintptr_t line = lineOf(start); line < end; line += kLineBytes) {
    const Page* page = pageOf(c, line, false);
    const std::size_t i = indexOf(line);
    if (page == nullptr || !page->kept[i]) {
      if (!c.allCleaned) ++stale;
      continue;
    }
    // The part of this line inside the range.
    const std::uintptr_t from = line < start ? start : line;
    const std::uintptr_t to = line + kLineBytes > end ? end : line + kLineBytes;
    const std::uint8_t* memory = page->copy[i].data() + (from - line);
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
  for (auto& [address, page] : simcache::cache().pages) {
    for (std::size_t i = 0; i < simcache::kPageLines; ++i) {
      if (!page->kept[i]) continue;
      std::memcpy(page->copy[i].data(),
                  reinterpret_cast<const void*>(address + i * simcache::kLineBytes),
                  simcache::kLineBytes);
    }
  }
  simcache::cache().allCleaned = true;
}

void SCB_CleanDCache_by_Addr(uint32_t* addr, int32_t dsize) { simcache::clean(addr, dsize); }

void SCB_InvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize) {
  if (dsize <= 0) return;
  const auto start = reinterpret_cast<std::uintptr_t>(addr);
  const std::uintptr_t end = start + static_cast<std::uintptr_t>(dsize);
  for (std::uintptr_t line = simcache::lineOf(start); line < end; line += simcache::kLineBytes) {
    simcache::Page* page = simcache::pageOf(simcache::cache(), line, false);
    if (page != nullptr) page->kept.reset(simcache::indexOf(line));
  }
}

void SCB_CleanInvalidateDCache_by_Addr(uint32_t* addr, int32_t dsize) {
  simcache::clean(addr, dsize);
}

}  // extern "C"
