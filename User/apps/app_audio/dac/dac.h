// PCM output: the DMA double buffer to the codec and the thread ("DacTask") that refills it.
#pragma once

#include <cstdint>

#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/thread.hpp"

enum DacEvents : uint8_t {
  STOP = 0,
  START = 1,
  SAMPLERATE = 2,
  MUTE = 3,
  UNMUTE = 4,
  IRQ_HALF = 5,
  IRQ_FULL = 6,
  IRQ_ERROR = 7,
};

// One PCM block: 1,152 interleaved stereo frames of 16 bits, one half of the DMA buffer.
constexpr uint32_t AUDIO_BLOCK_BYTES = 4608;

class Dac : public cpp_freertos::Thread {
 public:
  Dac();
  static Dac* thisptr;
  cpp_freertos::Queue* audioQueue;
  cpp_freertos::Queue* eventQueue;
  bool pause = false;
  uint32_t sampleRate = 44100;

 protected:
  void Run() override;
};
