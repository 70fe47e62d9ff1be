// The data cache as a DMA sees it: what main memory holds under the processor's write-back
// cache, for the models of peripherals that read memory by DMA.
#pragma once

#include <cstddef>
#include <cstdint>

namespace simcache {

inline constexpr std::size_t kLineBytes = 32;

// A DMA reads `bytes` at `address`: `out` gets what memory holds there. Returns the number of
// cache lines in the range that were written after their last clean (or, with the data cache
// on, never cleaned): the DMA would read stale memory there.
std::size_t dmaRead(const void* address, std::size_t bytes, void* out);

// ---- test backdoor
bool dataCacheOn();
// Every line the model keeps is forgotten (a fresh board).
void reset();

}  // namespace simcache
