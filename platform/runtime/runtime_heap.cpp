#include "runtime_heap.h"

#include <malloc.h>

#include <cstdint>
#include <cstdlib>

// The link wraps malloc, calloc, realloc and free of the simulator's program (not of shared
// libraries) so that they pass through here.
extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t size);
void __real_free(void* p);
}

namespace {

thread_local bool counted = false;
thread_local int hostDepth = 0;

std::size_t inUse = 0;
std::size_t peak = 0;
std::size_t limit = 0;  // 0: none

bool refused(std::size_t size) { return limit != 0 && inUse + size > limit; }

// The blocks counted so far, in a fixed open-addressing table (it must not allocate).
constexpr std::size_t kSlots = 1 << 16;
std::uintptr_t slots[kSlots];
std::size_t sizes[kSlots];
bool overflowed = false;

std::size_t slotOf(std::uintptr_t p) {
  return (p >> 4) * 0x9E3779B97F4A7C15ULL >> 48 & (kSlots - 1);
}

bool counting() { return counted && hostDepth == 0; }

void add(void* p) {
  if (p == nullptr || overflowed) return;
  const auto key = reinterpret_cast<std::uintptr_t>(p);
  std::size_t i = slotOf(key);
  for (std::size_t n = 0; n < kSlots; ++n, i = (i + 1) & (kSlots - 1)) {
    if (slots[i] == 0 || slots[i] == 1) {
      slots[i] = key;
      sizes[i] = malloc_usable_size(p);
      inUse += sizes[i];
      if (inUse > peak) peak = inUse;
      return;
    }
  }
  overflowed = true;
}

void remove(void* p) {
  if (p == nullptr) return;
  const auto key = reinterpret_cast<std::uintptr_t>(p);
  std::size_t i = slotOf(key);
  for (std::size_t n = 0; n < kSlots; ++n, i = (i + 1) & (kSlots - 1)) {
    if (slots[i] == 0) return;  // never counted
    if (slots[i] == key) {
      inUse -= sizes[i];
      slots[i] = 1;  // a tombstone keeps later entries of the same chain reachable
      return;
    }
  }
}

}  // namespace

extern "C" {

void* __wrap_malloc(size_t size) {
  if (counting() && refused(size)) return nullptr;
  void* p = __real_malloc(size);
  if (counting()) add(p);
  return p;
}

void* __wrap_calloc(size_t n, size_t size) {
  if (counting() && refused(n * size)) return nullptr;
  void* p = __real_calloc(n, size);
  if (counting()) add(p);
  return p;
}

void* __wrap_realloc(void* old, size_t size) {
  if (old != nullptr) remove(old);
  void* p = __real_realloc(old, size);
  if (counting()) add(p);
  return p;
}

void __wrap_free(void* p) {
  remove(p);
  __real_free(p);
}

}  // extern "C"

namespace simruntime {

std::size_t runtimeHeapInUse() { return inUse; }
std::size_t runtimeHeapPeak() { return peak; }
HostScope::HostScope() { ++hostDepth; }
HostScope::~HostScope() { --hostDepth; }
void countThisThread() { counted = true; }
Accounting accounting() { return {counted, hostDepth}; }
void setAccounting(const Accounting& a) {
  counted = a.counted;
  hostDepth = a.hostDepth;
}
void setRuntimeHeapLimit(std::size_t bytes) { limit = bytes; }

}  // namespace simruntime
