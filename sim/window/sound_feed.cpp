#include "sound_feed.h"

namespace simwin {

void SoundFeed::fadeOut(std::int16_t* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (fadeOutDone_ < kFade) {
      ++fadeOutDone_;
      const double gain = 1.0 - static_cast<double>(fadeOutDone_) / kFade;
      out[2 * i] = static_cast<std::int16_t>(last_[0] * gain);
      out[2 * i + 1] = static_cast<std::int16_t>(last_[1] * gain);
    } else {
      out[2 * i] = out[2 * i + 1] = 0;
    }
  }
  if (fadeOutDone_ >= kFade) last_[0] = last_[1] = 0;
}

void SoundFeed::fill(simlink::SoundRing& ring, std::int16_t* out, std::size_t count, bool boardOn) {
  ++calls_;
  if (playing_ && ring.fill() > most_) {
    // The device's clock is slower than the board's: the frames beyond the cushion go, with a
    // fade out before the gap and a fade in after it.
    ring.skip(ring.fill() - cushion_);
    playing_ = false;
    fadeOutDone_ = 0;
    fadeOut(out, count);
    return;
  }
  if (!playing_) {
    if (ring.fill() < cushion_) {
      fadeOut(out, count);
      return;
    }
    playing_ = true;
    fadeIn_ = kFade;
  }
  const std::size_t n = ring.get(out, count);
  for (std::size_t i = 0; i < n && fadeIn_ > 0; ++i, --fadeIn_) {
    const double gain = 1.0 - static_cast<double>(fadeIn_) / kFade;
    out[2 * i] = static_cast<std::int16_t>(out[2 * i] * gain);
    out[2 * i + 1] = static_cast<std::int16_t>(out[2 * i + 1] * gain);
  }
  played_ += n;
  if (n > 0) {
    last_[0] = out[2 * (n - 1)];
    last_[1] = out[2 * (n - 1) + 1];
  }
  if (n < count) {
    // The ring ran dry: what is missing fades out from the last frame played.
    if (boardOn) ++underruns_;
    playing_ = false;
    fadeOutDone_ = 0;
    fadeOut(out + 2 * n, count - n);
  }
}

}  // namespace simwin
