#include "dac.h"

#include <cstdio>
#include <cstring>

#include "audioSettings.h"
#include "singleton.h"
#include "stm32746g_discovery_audio.h"
#include "stm32f7xx_hal.h"

alignas(32) uint16_t dmaBuffer[2 * AUDIO_BLOCK_SAMPLES];

Dac* Dac::thisptr = nullptr;

namespace {

// Waits of the output, in kernel ticks.
constexpr uint32_t EVENT_WAIT = 500;
constexpr uint32_t BLOCK_WAIT = 2000;
// While a wait for a block runs, a posted stop, the end of the stream and a rate change are
// looked for this often.
constexpr uint32_t STOP_POLL = 5;
// While the start waits for its second block after a fill error.
constexpr uint32_t START_POLL = 5;

uint16_t* halfOf(int half) { return dmaBuffer + half * AUDIO_BLOCK_SAMPLES; }

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }

// The codec's control bus is shared with the settings' writes: a group of writes holds it.
cpp_freertos::MutexStandard& codecBus() { return settings().codecBus(); }

void haltPlayback() {
  settings().openOutput(false);
  cpp_freertos::LockGuard bus(codecBus());
  BSP_AUDIO_OUT_Stop(CODEC_PDWN_SW);
}

}  // namespace

Dac::Dac() : Thread("DacTask", 2048, 5) {
  thisptr = this;
  audioQueue = new cpp_freertos::Queue(5, AUDIO_BLOCK_BYTES);
  eventQueue = new cpp_freertos::Queue(5, 1);
  Start();
}

void Dac::post(DacEvents event) {
  uint8_t e = event;
  (void)eventQueue->Enqueue(&e);
}

void Dac::startAudio(uint32_t rate) {
  pause.store(false, std::memory_order_relaxed);
  sampleRate.store(rate, std::memory_order_relaxed);
  startsPosted.fetch_add(1, std::memory_order_relaxed);
  post(START);
}

void Dac::closeAudio() {
  pause.store(false, std::memory_order_relaxed);
  // Counted before it is posted, so that a wait for blocks on the output's thread gives up.
  closesPosted.fetch_add(1, std::memory_order_relaxed);
  post(STOP);
}

void Dac::setSampleRate(uint32_t rate) {
  if (rate == sampleRate.load(std::memory_order_relaxed)) return;
  sampleRate.store(rate, std::memory_order_relaxed);
  // The thread takes the latest rate from sampleRate, so one event in the queue is enough; it
  // is never waited for (the thread may be waiting for the very block this decoder would send
  // next). Without room, the thread finds the rate after the event it works on.
  if (ratePosted.exchange(true, std::memory_order_relaxed)) return;
  uint8_t e = SAMPLERATE;
  if (!eventQueue->Enqueue(&e, 0)) ratePosted.store(false, std::memory_order_relaxed);
}

void Dac::mute() { post(MUTE); }

void Dac::unmute() { post(UNMUTE); }

void Dac::togglePause() {
  const bool paused = !pause.load(std::memory_order_relaxed);
  pause.store(paused, std::memory_order_relaxed);
  if (paused) {
    puts("pause\r");
    mute();
  } else {
    puts("resume\r");
    unmute();
  }
}

bool Dac::enqueueAudioData(uint16_t* output) { return audioQueue->Enqueue(output, 5); }

void Dac::finishAudio() {
  streamEnded.store(true, std::memory_order_release);
  // Only a wake-up: the flag carries the news, also when the queue has no room.
  uint8_t e = DRAIN;
  (void)eventQueue->Enqueue(&e, 0);
}

void Dac::forgetTrack() {
  audioQueue->Flush();
  streamEnded.store(false, std::memory_order_relaxed);
}

void Dac::irqDma(DacEvents event) {
  uint8_t e = event;
  // No context switch is asked for: the thread runs when the scheduler next picks it.
  (void)eventQueue->EnqueueFromISR(&e, nullptr);
}

extern "C" {

void BSP_AUDIO_OUT_HalfTransfer_CallBack(void) {
  if (Dac::thisptr != nullptr) Dac::thisptr->irqDma(IRQ_HALF);
}

void BSP_AUDIO_OUT_TransferComplete_CallBack(void) {
  if (Dac::thisptr != nullptr) Dac::thisptr->irqDma(IRQ_FULL);
}

void BSP_AUDIO_OUT_Error_CallBack(void) {
  if (Dac::thisptr != nullptr) Dac::thisptr->irqDma(IRQ_ERROR);
}

}  // extern "C"

void Dac::init() {
  __HAL_RCC_DMA2_CLK_ENABLE();
  // The result is not acted on: with a codec that does not answer, the writes that follow
  // reach nobody and nothing is heard.
  cpp_freertos::LockGuard bus(codecBus());
  (void)BSP_AUDIO_OUT_Init(OUTPUT_DEVICE_SPEAKER, settings().getVolume(), AUDIO_FREQUENCY_48K);
  BSP_AUDIO_OUT_SetMute(AUDIO_MUTE_ON);
  // The rate is set when a track starts.
  appliedRate = sampleRate.load(std::memory_order_relaxed);
}

void Dac::Run() {
  init();
  for (;;) {
    uint8_t event = 0;
    const uint32_t wait = output == Output::Starting ? START_POLL : EVENT_WAIT;
    if (eventQueue->Dequeue(&event, wait)) handle(event);
    followRate();
    if (output == Output::Starting && !stopPending()) completeStart();
    followEnd();
  }
}

void Dac::handle(uint8_t event) {
  switch (event) {
    case STOP:
      stopOutput();
      closesDone.fetch_add(1, std::memory_order_release);
      changed.Give();
      break;
    case START: start(); break;
    case SAMPLERATE: ratePosted.store(false, std::memory_order_relaxed); break;
    case MUTE: openOutput(false); break;
    case UNMUTE:
      openOutput(output == Output::Playing && !pause.load(std::memory_order_relaxed));
      break;
    case IRQ_HALF: refill(0); break;
    case IRQ_FULL: refill(1); break;
    default: break;  // DRAIN only wakes the thread; IRQ_ERROR: the DMA goes on; unknown values
  }
}

// The rate the decoder asked for last goes to the board (also while the DMA runs).
void Dac::followRate() {
  const uint32_t rate = sampleRate.load(std::memory_order_relaxed);
  if (rate == appliedRate) return;
  appliedRate = rate;
  BSP_AUDIO_OUT_SetFrequency(rate);
}

// The decoder has sent the track's last block: a start still waiting plays what it has; a
// track that never started (not a single frame) is over.
void Dac::followEnd() {
  if (!streamEnded.load(std::memory_order_acquire) || playedOut.load(std::memory_order_relaxed))
    return;
  if (output == Output::Starting && !stopPending()) {
    startEnded();
  } else if (output == Output::Stopped && startsDone.load(std::memory_order_relaxed) ==
                                              startsPosted.load(std::memory_order_relaxed)) {
    playedOut.store(true, std::memory_order_release);
    changed.Give();
  }
}

// The output is muted whenever it has nothing to be heard; the settings un-mute it only with a
// volume above 0.
void Dac::openOutput(bool open) { settings().openOutput(open); }

void Dac::stopOutput() {
  haltPlayback();
  std::memset(halfOf(0), 0, AUDIO_BLOCK_BYTES);
  audioQueue->Flush();
  output = Output::Stopped;
  filled[0] = filled[1] = false;
  halfBlock[0] = halfBlock[1] = -1;
  playing.store(-1, std::memory_order_relaxed);
  playedOut.store(false, std::memory_order_relaxed);
  streamEnded.store(false, std::memory_order_relaxed);
}

// The last block of the track has been heard.
void Dac::endPlayback() {
  haltPlayback();
  output = Output::Stopped;
  playedOut.store(true, std::memory_order_release);
  changed.Give();
}

void Dac::start() {
  startsDone.fetch_add(1, std::memory_order_relaxed);
  taken = 0;
  filled[0] = filled[1] = false;
  halfBlock[0] = halfBlock[1] = -1;
  playing.store(-1, std::memory_order_relaxed);
  playedOut.store(false, std::memory_order_relaxed);
  output = Output::Starting;
  // Two attempts, each up to BLOCK_WAIT; the blocks go into the halves in queue order.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int half = filled[0] ? 1 : 0;
    if (takeBlock(half, BLOCK_WAIT)) filled[half] = true;
    if (stopPending()) return;  // the track is being closed: its STOP comes next
  }
  if (!filled[0] || !filled[1]) {
    // A whole track shorter than the two blocks plays at once; otherwise the halves that did
    // fill keep their blocks and playback starts once the rest arrives.
    if (streamEnded.load(std::memory_order_acquire)) {
      startEnded();
    } else {
      puts("playback buffer fill error\r");
    }
    return;
  }
  beginPlayback();
}

void Dac::completeStart() {
  while (!filled[0] || !filled[1]) {
    const int half = filled[0] ? 1 : 0;
    if (!takeBlock(half, 0)) return;
    filled[half] = true;
  }
  beginPlayback();
}

// The stream has ended before the start had its two blocks: whatever arrived plays, a missing
// second half is silence; with nothing at all the track is over.
void Dac::startEnded() {
  while (!filled[0] || !filled[1]) {
    const int half = filled[0] ? 1 : 0;
    if (!takeBlock(half, 0)) break;
    filled[half] = true;
  }
  if (!filled[0]) {
    output = Output::Stopped;
    playedOut.store(true, std::memory_order_release);
    changed.Give();
    return;
  }
  if (!filled[1]) {
    silence(1);
    filled[1] = true;
  }
  beginPlayback();
}

void Dac::beginPlayback() {
  const uint32_t rate = sampleRate.load(std::memory_order_relaxed);
  printf("start playback - sampleRate: %i\r\n", static_cast<int>(rate));
  BSP_AUDIO_OUT_SetAudioFrameSlot(CODEC_AUDIOFRAME_SLOT_02);
  BSP_AUDIO_OUT_SetFrequency(rate);
  appliedRate = rate;
  output = Output::Playing;
  openOutput(!pause.load(std::memory_order_relaxed));
  SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(dmaBuffer), sizeof dmaBuffer);
  BSP_AUDIO_OUT_Play(dmaBuffer, sizeof dmaBuffer);
  playing.store(halfBlock[0], std::memory_order_relaxed);
}

void Dac::refill(int half) {
  if (output != Output::Playing) return;  // an interrupt from before a stop
  // The DMA has finished `half` and plays the other one now.
  const int other = 1 - half;
  if (halfBlock[other] >= 0) playing.store(halfBlock[other], std::memory_order_relaxed);
  if (!pause.load(std::memory_order_relaxed)) {
    // Once the stream has ended every block of it is queued: none is waited for.
    const bool ended = streamEnded.load(std::memory_order_acquire);
    if (!takeBlock(half, ended ? 0 : BLOCK_WAIT)) {
      if (streamEnded.load(std::memory_order_acquire)) {
        if (halfBlock[other] < 0) {
          // The half now playing is silence: the last block has been heard.
          endPlayback();
          return;
        }
        silence(half);
      }
      // Otherwise nothing came in time: the half keeps its block and plays it again.
    }
  }
  clean(half);
}

bool Dac::takeBlock(int half, uint32_t ticks) {
  uint32_t waited = 0;
  for (;;) {
    const uint32_t step = ticks - waited < STOP_POLL ? ticks - waited : STOP_POLL;
    if (audioQueue->Dequeue(halfOf(half), step)) {
      halfBlock[half] = taken++;
      return true;
    }
    waited += step;
    if (waited >= ticks || stopPending() || nothingMore()) return false;
    if (output == Output::Playing) followRate();
  }
}

void Dac::silence(int half) {
  std::memset(halfOf(half), 0, AUDIO_BLOCK_BYTES);
  halfBlock[half] = -1;
}

void Dac::clean(int half) {
  SCB_CleanDCache_by_Addr(reinterpret_cast<uint32_t*>(halfOf(half)),
                          static_cast<int32_t>(AUDIO_BLOCK_BYTES));
}
