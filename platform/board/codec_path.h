// The WM8994's playback path: what the codec does to the frames its audio interface receives
// from the SAI (3D, equaliser, soft mute, speaker volume and boost), and where the result goes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simkernel.h"
#include "stm32f7xx_hal.h"

namespace simaudio {

// Where the board's sound goes: the simulator's audio files, later the window's audio. Calls
// come in virtual-time order from the board's running context, to every listener in the order
// they were added.
class Listener {
 public:
  virtual ~Listener() = default;
  // The SAI starts carrying frames at `rate` at virtual time `start`; the frames that follow
  // are contiguous.
  virtual void linkStart(simk::Time start, std::uint32_t rate) = 0;
  // `count` frames (left, right interleaved) exactly as the SAI sent them.
  virtual void sent(const std::int16_t* lr, std::size_t count) = 0;
  // Whether the speaker's signal is wanted (it costs the path's work).
  virtual bool wantsSpeaker() const = 0;
  // Where the path may work out the speaker's signal for the next `count` frames (the first
  // listener that wants it is asked), or null (the path's own buffer). played() then gets that
  // very place.
  virtual double* speakerRoom(std::size_t count) {
    (void)count;
    return nullptr;
  }
  // The speaker's signal for the next `count` frames sent (left, right interleaved), in 16-bit
  // full scale, clipped, not rounded.
  virtual void played(const double* lr, std::size_t count) = 0;
  // The SAI stops carrying frames.
  virtual void linkStop() = 0;
  // The run ends at `now`: everything up to now is to be written.
  virtual void finish(simk::Time now) = 0;
};

// Adds a listener (once; adding it again changes nothing). Without a listener that wants the
// speaker's signal, the path processes nothing.
void addListener(Listener* listener);

// Frames due by now are delivered and processed, then every listener finishes at now. The
// simulator calls it when the run ends.
void bringUpToDate();
// Frames due by now are delivered and processed (a listener in real time asks for them as
// time passes instead of at the SAI's next half buffer).
void deliverDue();

// ---- the codec model's side
// The path takes the frames of `block`. Called by simcodec::connect.
void connectPlayback(const SAI_Block_TypeDef* block);
// Before each register write: the frames due by now are processed with the old settings.
void codecWillChange();

// ---- test backdoor
// What the speaker path does to one stereo frame with the codec's current registers, at
// `rate` (the state of the equaliser filters is kept between calls).
void processForTest(std::int16_t& left, std::int16_t& right, std::uint32_t rate);
// The speaker's signal (not rounded) of `count` frames (left, right interleaved) into `out`,
// worked out on the whole block with filter state of its own, or (`oneByOne`) one frame after
// the other with the state processForTest() keeps.
void processBlockForTest(const std::int16_t* lr, double* out, std::size_t count, std::uint32_t rate,
                         bool oneByOne = false);
// Frames the SAI has sent since power-on.
std::uint64_t framesSentTotal();
// Whether the speaker's path (here and in the simulator's resampling) uses the processor's
// 256-bit vectors (AVX), where it has them; useWideVectors(false) keeps it to what every
// x86-64 processor has. The sound is the same either way.
bool wideVectors();
void useWideVectors(bool allowed);

}  // namespace simaudio
