/* Graphics framework: NUMBER_OF_ELEMENTS slots of static memory, each sized and aligned for
 * the largest type of ListOfTypes. */
#ifndef TOUCHGFX_COMMON_PARTITION_HPP
#define TOUCHGFX_COMMON_PARTITION_HPP

#include <stdint.h>

#include "common/AbstractPartition.hpp"
#include "common/Meta.hpp"

namespace touchgfx {

template <typename ListOfTypes, uint16_t NUMBER_OF_ELEMENTS>
class Partition : public AbstractPartition {
 public:
  typedef ListOfTypes SupportedTypesList;
  static const uint32_t ALIGNMENT = meta::select_type_maxalign<SupportedTypesList>::value;
  static const uint32_t SIZE_OF_ELEMENT =
      (sizeof(typename meta::select_type_maxsize<SupportedTypesList>::type) + ALIGNMENT - 1) /
      ALIGNMENT * ALIGNMENT;

  Partition() : AbstractPartition() {}
  uint16_t capacity() const override { return NUMBER_OF_ELEMENTS; }
  uint32_t element_size() override { return SIZE_OF_ELEMENT; }

 protected:
  void* element(uint16_t index) override { return &stBlocks[index]; }
  const void* element(uint16_t index) const override { return &stBlocks[index]; }

 private:
  struct alignas(ALIGNMENT) Block {
    unsigned char bytes[SIZE_OF_ELEMENT];
  };
  Block stBlocks[NUMBER_OF_ELEMENTS];
};

}  // namespace touchgfx

#endif
