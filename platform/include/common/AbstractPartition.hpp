/* Graphics framework: a fixed number of equal slots of static memory, each large enough for
 * any of a list of types. Objects are built in a slot with placement new; nothing comes
 * from a heap. */
#ifndef TOUCHGFX_COMMON_ABSTRACTPARTITION_HPP
#define TOUCHGFX_COMMON_ABSTRACTPARTITION_HPP

#include <stdint.h>

namespace touchgfx {

class AbstractPartition {
 public:
  virtual ~AbstractPartition() {}
  AbstractPartition(const AbstractPartition&) = delete;
  AbstractPartition& operator=(const AbstractPartition&) = delete;

  /* The next free slot, when `size` fits in it; null otherwise. */
  virtual void* allocate(uint16_t size);
  /* Slot `index`, when it exists and `size` fits in it; null otherwise. */
  virtual void* allocateAt(uint16_t index, uint16_t size);
  virtual uint16_t getAllocationCount() const { return allocationCount; }
  /* The slot at `address` (capacity() when it is none). */
  virtual uint16_t indexOf(const void* address);
  virtual void dealloc(uint16_t index);
  virtual void clear() { allocationCount = 0; }
  virtual uint16_t capacity() const = 0;
  virtual uint32_t element_size() = 0;

  template <class T>
  void* allocate() {
    return allocate(static_cast<uint16_t>(sizeof(T)));
  }
  template <class T>
  void* allocateAt(uint16_t index) {
    return allocateAt(index, static_cast<uint16_t>(sizeof(T)));
  }
  /* Slot `index` seen as a T (whose size the caller has checked against element_size()). */
  template <class T>
  T& at(const uint16_t index) {
    return *static_cast<T*>(element(index));
  }

 protected:
  AbstractPartition() : allocationCount(0) {}
  virtual void* element(uint16_t index) = 0;
  virtual const void* element(uint16_t index) const = 0;

 private:
  uint16_t allocationCount;
};

}  // namespace touchgfx

#endif
