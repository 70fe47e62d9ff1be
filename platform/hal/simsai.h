// The serial audio interface's side for the device on its data lines: the frames a block
// sends, in virtual-time order, as they are due.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simkernel.h"
#include "stm32f7xx_hal.h"

namespace simhal {

// A device that receives what an SAI block transmits (left and right of each frame: the
// frame's slots 0 and 2; a slot not sent is 0).
class SaiReceiver {
 public:
  virtual ~SaiReceiver() = default;
  // The block starts sending at `rate` frames a second at virtual time `start` (a DMA run
  // begins, or the rate changes while it runs); the frames that follow are contiguous.
  virtual void linkStart(simk::Time start, std::uint32_t rate) = 0;
  // `count` frames (left, right interleaved), in order.
  virtual void frames(const std::int16_t* lr, std::size_t count) = 0;
  // The block stops sending; its last frame was the last one delivered.
  virtual void linkStop() = 0;
};

// Puts `receiver` on the data lines of `block` (nullptr: nobody listens).
void attachSaiReceiver(const SAI_Block_TypeDef* block, SaiReceiver* receiver);

// Delivers the frames of `block` due by now: a receiver about to change how it treats them
// (the codec's settings change) first takes those sent under the old ones.
void saiCatchUp(const SAI_Block_TypeDef* block);

}  // namespace simhal
