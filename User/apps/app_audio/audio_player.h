// Track player: plays one MP3 file at a time from the stick through the decoder and the
// PCM output, which it owns.
#pragma once

#include <cstdint>

#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/thread.hpp"
#include "dac/dac.h"
#include "mp3/decode_mp3.h"

enum AudioPlayerEvent : uint8_t {
  AUDIOPLAYER_STOP = 0,
  AUDIOPLAYER_PLAY_MP3 = 1,
  AUDIOPLAYER_PAUSE = 2,
};

class AudioPlayer : public cpp_freertos::Thread {
 public:
  AudioPlayer();

 protected:
  void Run() override;

 private:
  cpp_freertos::Queue* playerEventQueue = nullptr;
  Dac dac;
  DecodeMp3* decodeMp3 = nullptr;
};
