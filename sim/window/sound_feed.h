// The window's sound callback: takes the speaker's frames from the ring the board fills and
// hands them to the sound device, keeping a cushion against the board's hiccups. Whatever the
// ring does, the host adds no click: where the frames run out the sound fades to silence over
// a few milliseconds, and where they come back it fades in again. Silence from the board (a
// paused or silent device) is passed on as it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device_link.h"

namespace simwin {

class SoundFeed {
 public:
  static constexpr std::size_t kFade = 240;  // frames: 5 ms at 48 kHz

  // Playing starts (and starts again after a gap) once `cushion` frames wait; above
  // `most` frames waiting (the sound device's clock runs slower than the board's) the frames
  // beyond the cushion are left out.
  SoundFeed(std::size_t cushion, std::size_t most) : cushion_(cushion), most_(most) {}

  // Fills `out` (count stereo frames). `boardOn`: the board is on, so that frames running out
  // is an under-run (a board that is off plays nothing, which is no fault).
  void fill(simlink::SoundRing& ring, std::int16_t* out, std::size_t count, bool boardOn);

  std::uint64_t underruns() const { return underruns_; }
  std::uint64_t calls() const { return calls_; }
  std::uint64_t framesPlayed() const { return played_; }

 private:
  // Fades from the last frame played to silence over out[0..count).
  void fadeOut(std::int16_t* out, std::size_t count);

  std::size_t cushion_, most_;
  bool playing_ = false;
  std::size_t fadeIn_ = 0;  // frames of the fade-in still to go
  std::int16_t last_[2] = {0, 0};
  std::size_t fadeOutDone_ = kFade;  // frames of the fade-out already played
  std::uint64_t underruns_ = 0, calls_ = 0, played_ = 0;
};

}  // namespace simwin
