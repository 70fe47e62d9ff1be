#include "mp3_input.h"

void Mp3Input::restart() {
  size = 0;
  base = 0;
  pendingSize = 0;
  pendingFrom = 0;
  ended = false;
  guarded = false;
}

void Mp3Input::dropBuffered() {
  base += size;
  size = 0;
}

void Mp3Input::keep(const unsigned char* nextFrame, const unsigned char* bufEnd) {
  // A fresh stream (or one handed another buffer) has nothing of ours to keep.
  if (nextFrame == nullptr || nextFrame < buffer || nextFrame > buffer + size ||
      bufEnd != buffer + size) {
    dropBuffered();
    return;
  }
  const auto consumed = static_cast<uint32_t>(nextFrame - buffer);
  const uint32_t remaining = size - consumed;
  std::memmove(buffer, nextFrame, remaining);
  base += consumed;
  size = remaining;
}

void Mp3Input::skip() {
  base += size;
  size = 0;
}

void Mp3Input::fill() {
  const uint32_t pending = pendingSize - pendingFrom;
  const uint32_t room = SIZE - size;
  const uint32_t n = pending < room ? pending : room;
  std::memcpy(buffer + size, chunk.data + pendingFrom, n);
  size += n;
  pendingFrom += n;
  if (pendingFrom == pendingSize) {
    pendingSize = 0;
    pendingFrom = 0;
    if (ended && !guarded) {
      std::memset(buffer + size, 0, MAD_BUFFER_GUARD);
      size += MAD_BUFFER_GUARD;
      guarded = true;
    }
  }
}

uint32_t PcmBlock::append(const mad_pcm& pcm, uint32_t from, const std::atomic<bool>& mono) {
  uint32_t i = from;
  const uint32_t length = pcm.length <= 1152 ? pcm.length : 1152;
  for (; i < length && frames < FRAMES; ++i, ++frames) {
    const int l = scaleSample(pcm.samples[0][i]);
    int left = l, right = l;
    if (pcm.channels == 2) {
      const int r = scaleSample(pcm.samples[1][i]);
      if (mono.load(std::memory_order_relaxed)) {
        left = right = (l + r) >> 1;
      } else {
        right = r;
      }
    }
    samples[2 * frames] = static_cast<uint16_t>(left);
    samples[2 * frames + 1] = static_cast<uint16_t>(right);
  }
  return i;
}

void PcmBlock::padWithSilence() {
  std::memset(samples + 2 * frames, 0, (FRAMES - frames) * 2 * sizeof samples[0]);
  frames = FRAMES;
}
