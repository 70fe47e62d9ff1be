// PCM output: the DMA double buffer to the codec and the thread ("DacTask") that refills it.
//
// The DMA plays `dmaBuffer` round and round, half by half; when it has finished a half, its
// interrupt posts an event and the thread copies the next PCM block into that half. The same
// thread carries out every control request (start, stop, rate, mute, end of stream) in the
// order they were posted, so only it calls the board's playback functions.
#pragma once

#include <atomic>
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
  DRAIN = 8,  // the track's last block is queued: play everything out, then stop
};

// One PCM block: 1,152 interleaved stereo frames of 16 bits, one half of the DMA buffer.
constexpr uint32_t AUDIO_BLOCK_BYTES = 4608;
constexpr uint32_t AUDIO_BLOCK_SAMPLES = AUDIO_BLOCK_BYTES / 2;

// The DMA buffer: two blocks, on a cache-line boundary.
extern uint16_t dmaBuffer[2 * AUDIO_BLOCK_SAMPLES];

class Dac : public cpp_freertos::Thread {
 public:
  Dac();

  // ---- posted from other threads (each waits for room in the event queue)
  void startAudio(uint32_t sampleRate);
  void closeAudio();
  void setSampleRate(uint32_t sampleRate);
  void mute();
  void unmute();
  void togglePause();
  // One block into the output's queue, waiting at most 5 ticks.
  bool enqueueAudioData(uint16_t* output);
  // The end of the track's stream: every block of it has been queued.
  void finishAudio();

  // ---- state for the track player
  // Every block queued before finishAudio() has been played and the output has stopped.
  bool isPlayedOut() { return playedOut.load(std::memory_order_acquire); }
  // Every closeAudio() posted so far has been carried out.
  bool isClosed() {
    return closesDone.load(std::memory_order_acquire) ==
           closesPosted.load(std::memory_order_relaxed);
  }
  // Number (from 0, in queue order since START) of the block the DMA plays now; -1 while no
  // block of the current track has been played.
  int32_t playingBlock() { return playing.load(std::memory_order_relaxed); }

  // From the DMA interrupt.
  void irqDma(DacEvents event);

  static Dac* thisptr;
  cpp_freertos::Queue* audioQueue;
  cpp_freertos::Queue* eventQueue;
  std::atomic<bool> pause{false};
  std::atomic<uint32_t> sampleRate{44100};

 protected:
  void Run() override;

 private:
  enum class Output : uint8_t { Stopped, Starting, Playing };

  void init();
  void post(DacEvents event);
  void stopOutput();
  void start();
  void completeStart();
  void beginPlayback();
  void refill(int half);
  void drain();
  bool takeBlock(int half, uint32_t ticks);
  void silence(int half);
  void clean(int half);
  bool stopPending() {
    return closesDone.load(std::memory_order_relaxed) !=
           closesPosted.load(std::memory_order_relaxed);
  }

  // DacTask only.
  Output output = Output::Stopped;
  bool filled[2] = {false, false};  // the halves hold blocks of this track (while starting)
  int32_t halfBlock[2] = {-1, -1};  // the block in each half; -1: silence or none
  int32_t taken = 0;                // blocks taken from the queue since START
  bool draining = false;

  std::atomic<int32_t> playing{-1};
  std::atomic<bool> playedOut{false};
  std::atomic<uint32_t> closesPosted{0};
  std::atomic<uint32_t> closesDone{0};
};
