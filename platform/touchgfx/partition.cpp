// The static slots the screens are built in, and the halt when one is too small for them.
#include "common/AbstractPartition.hpp"
#include "mvp/MVPApplication.hpp"
#include "simkernel.h"

namespace touchgfx {

namespace detail {

void heapSlotTooSmall(const char* what) { simk::halt(what); }

}  // namespace detail

void* AbstractPartition::allocate(uint16_t size) {
  if (allocationCount >= capacity() || size > element_size()) return nullptr;
  return element(allocationCount++);
}

void* AbstractPartition::allocateAt(uint16_t index, uint16_t size) {
  if (index >= capacity() || size > element_size()) return nullptr;
  if (index >= allocationCount) allocationCount = static_cast<uint16_t>(index + 1);
  return element(index);
}

uint16_t AbstractPartition::indexOf(const void* address) {
  for (uint16_t i = 0; i < capacity(); ++i) {
    if (element(i) == address) return i;
  }
  return capacity();
}

void AbstractPartition::dealloc(uint16_t index) {
  if (index < allocationCount && allocationCount > 0) --allocationCount;
}

}  // namespace touchgfx
