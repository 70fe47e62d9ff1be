// PCM output: the DMA double buffer to the codec and the thread ("DacTask") that refills it.
//
// The DMA plays `dmaBuffer` round and round, half by half; when it has finished a half, its
// interrupt posts an event and the thread copies the next PCM block into that half. The same
// thread carries out every control request (start, stop, pause) in the order they were posted,
// so only it calls the board's playback functions.
//
// The decoder never waits on the output: a rate change and the end of the stream are kept in
// flags that the thread looks at after every event and while it waits for a block, and their
// events only wake it (a rate change posts at most one, and never waits for room). So a wait
// for a block can never hold up the news that no more blocks will come, nor the decoder that
// would send them.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/semaphore.hpp"
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
  // The end of the track's stream: every block of it has been queued (the decoder, once it has
  // sent its last block).
  void finishAudio();
  // Forgets what is left of a closed track (the track player, once the output has stopped and
  // the decoder is idle): a block the decoder was handing over while the output emptied its
  // queue at STOP, which must not start the next track, and an end of stream it reported after
  // the STOP.
  void forgetTrack();

  // ---- state for the track player
  // Every block queued before finishAudio() has been played and the output has stopped.
  bool isPlayedOut() { return playedOut.load(std::memory_order_acquire); }
  // Waits at most `ticks` until the output has played out or carried out a STOP.
  void waitForChange(TickType_t ticks) { (void)changed.Take(ticks); }
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
  void handle(uint8_t event);
  void followRate();
  void followEnd();
  void openOutput(bool open);
  void stopOutput();
  void endPlayback();
  void start();
  void completeStart();
  void beginPlayback();
  void refill(int half);
  void startEnded();
  bool takeBlock(int half, uint32_t ticks);
  void silence(int half);
  void clean(int half);
  bool stopPending() {
    return closesDone.load(std::memory_order_relaxed) !=
           closesPosted.load(std::memory_order_relaxed);
  }
  // No block will come for the track any more: it has ended and its queue is empty.
  bool nothingMore() {
    return streamEnded.load(std::memory_order_acquire) && audioQueue->NumItems() == 0;
  }

  // DacTask only.
  Output output = Output::Stopped;
  bool filled[2] = {false, false};  // the halves hold blocks of this track (while starting)
  int32_t halfBlock[2] = {-1, -1};  // the block in each half; -1: silence or none
  int32_t taken = 0;                // blocks taken from the queue since START
  uint32_t appliedRate = 0;         // the rate last given to the board

  std::atomic<int32_t> playing{-1};
  std::atomic<bool> playedOut{false};
  std::atomic<bool> streamEnded{false};  // finishAudio() since the last STOP
  std::atomic<bool> ratePosted{false};   // a SAMPLERATE event is in the queue
  std::atomic<uint32_t> startsPosted{0};
  std::atomic<uint32_t> startsDone{0};
  cpp_freertos::BinarySemaphore changed;
  std::atomic<uint32_t> closesPosted{0};
  std::atomic<uint32_t> closesDone{0};
};
