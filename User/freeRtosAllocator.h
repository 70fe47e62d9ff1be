// Standard-library allocator over the kernel heap, for the directory lists. Exhausting the
// heap is not recoverable: "bad alloc" is printed and the calling thread stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>

#include "FreeRTOS.h"
#include "stm32f7xx.h"

namespace FreeRtosAllocator_namespace {

template <typename T>
class FreeRtosAllocator {
 public:
  using value_type = T;
  using pointer = T*;
  using const_pointer = const T*;
  using reference = T&;
  using const_reference = const T&;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;

  template <typename U>
  struct rebind {
    using other = FreeRtosAllocator<U>;
  };

  FreeRtosAllocator() noexcept = default;
  template <typename U>
  FreeRtosAllocator(const FreeRtosAllocator<U>&) noexcept {}

  pointer address(reference x) const noexcept { return &x; }
  const_pointer address(const_reference x) const noexcept { return &x; }

  pointer allocate(size_type n, const void* = nullptr) {
    void* p = (n <= max_size()) ? pvPortMalloc(n * sizeof(T)) : nullptr;
    if (p == nullptr) {
      puts("bad alloc\r");
      for (;;) __WFI();
    }
    return static_cast<pointer>(p);
  }

  void deallocate(pointer p, size_type) noexcept { vPortFree(p); }

  // The largest count whose size in bytes fits in 32 bits.
  size_type max_size() const noexcept { return UINT32_MAX / sizeof(T); }

  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
  }
  template <typename U>
  void destroy(U* p) {
    p->~U();
  }
};

template <typename T, typename U>
bool operator==(const FreeRtosAllocator<T>&, const FreeRtosAllocator<U>&) noexcept {
  return true;
}
template <typename T, typename U>
bool operator!=(const FreeRtosAllocator<T>&, const FreeRtosAllocator<U>&) noexcept {
  return false;
}

}  // namespace FreeRtosAllocator_namespace
