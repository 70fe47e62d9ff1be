// Fuzz target: the MP3 decoder driver itself, DecodeMp3 with libmad and its four callbacks, fed
// arbitrary chunk streams by a pretend track player and PCM output.
//
// The kernel objects the driver uses (its thread, its input queue) and the output it talks to
// are stand-ins here, on one host thread: where the decoder would wait (for a chunk, for room
// in the output's queue), the outside world takes its next step from the input. The player
// hands over a chunk, stops the track, or hands over to the next track (stopping the running one
// and waiting until the decoder lets go of it, as the player does); the output takes blocks or
// has no room. Checked, whatever the stream and the order of events:
// - nothing of a track reaches the output once the track is closed: no block, no start, no
//   rate, no end (between tracks nothing is decoded);
// - a track's blocks come after its start, at most one start a track, and a block with sound
//   only after the rate it is to be played at;
// - the end of a track is reported once, and only after its last chunk was handed over;
// - a stop ends the track within a few of the decoder's waits; the decoder never calls for
//   input more often than its input can explain, so it never loops without progress;
// - at most one block for every 24 bytes handed over.
//
// Input: records of [flags][lo][hi] and, for a chunk, data. Flags bits 3..5 give what happens:
// 1 the player stops the track, 2 it hands over to the next track, 3 the output takes `lo`
// blocks (0: all), 4 the output has no room for the next `lo` offers, anything else a chunk of
// lo | hi << 8 bytes (more than 512 are claimed, at most 512 come) whose flags bit 0 asks the
// decoder to stop, bit 1 marks the last chunk of the file and bit 2 is the mono switch.
#include <mad.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "audioSettings.h"
#include "cpp_freertos/mutex.hpp"
#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/semaphore.hpp"
#include "cpp_freertos/thread.hpp"
#include "dac/dac.h"
#include "mp3/decode_mp3.h"
#include "singleton.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Action {
  uint8_t kind = 0;  // 0 chunk, 1 stop, 2 next track, 3 output takes, 4 output full
  uint8_t count = 0;
  bool mono = false;
  Mp3DataIn chunk{};
};

// A queue's items, kept behind the wrapper's handle.
struct Store {
  size_t capacity;
  size_t itemSize;
  std::deque<std::vector<uint8_t>> items;
};
Store& store(QueueHandle_t handle) { return *reinterpret_cast<Store*>(handle); }
Store* lastCreated = nullptr;

// The decoder's console lines, kept in memory (they would only slow the search down on a
// terminal) so that the checks can read them.
char* consoleBuffer = nullptr;
size_t consoleSize = 0;
size_t consoleLength() {
  std::fflush(stdout);
  return consoleSize;
}
std::string console() { return std::string(consoleBuffer, consoleLength()); }

class World;
World* world = nullptr;
uint32_t ticks = 0;

bool isSilent(const uint16_t* block) {
  for (uint32_t i = 0; i < AUDIO_BLOCK_SAMPLES; ++i) {
    if (block[i] != 0) return false;
  }
  return true;
}

class World {
 public:
  World(DecodeMp3& d, Store& in, std::vector<Action> a) : dec(d), input(in), actions(std::move(a)) {
    for (const Action& x : actions) bytesAll += x.kind == 0 ? x.chunk.dataSize % 1024 : 0;
  }

  // The outside world's next step, taken while the decoder waits.
  void step() {
    check(++waits <= 80 * (actions.size() + 4) + bytesAll + 4096);
    if (phase == Phase::Closing) {
      // The player waits for the decoder to let go of the stopped track.
      check(++closingWaits <= 64);
      settle();
      return;
    }
    if (next >= actions.size()) {
      endOfInput();
      return;
    }
    const Action& a = actions[next++];
    switch (a.kind) {
      case 1: stopTrack(); break;
      case 2:
        nextPending = true;
        if (phase == Phase::Playing) {
          stopTrack();
        } else {
          arm();
        }
        break;
      case 3: take(a.count == 0 ? pcm.size() : a.count); break;
      case 4: refuse = a.count; break;
      default: hand(a); break;
    }
  }

  // After each of the decoder's runs: a stopped track it has let go of is closed.
  void afterRun() {
    if (phase == Phase::Closing) settle();
  }

  // ---- the output, as the decoder reaches it
  void started() {
    check(phase != Phase::Idle);
    check(!trackStarted);
    trackStarted = true;
  }
  void rate(uint32_t r) {
    check(phase != Phase::Idle);
    static constexpr uint32_t rates[] = {8000,  11025, 12000, 16000, 22050,
                                         24000, 32000, 44100, 48000};
    check(std::find(std::begin(rates), std::end(rates), r) != std::end(rates));
    rateKnown = true;
  }
  bool offer(const uint16_t* block) {
    check(phase != Phase::Idle);
    check(trackStarted);
    check(rateKnown || isSilent(block));
    if (full()) {
      if (refuse > 0) --refuse;
      step();
      if (full()) return false;
    }
    pcm.push_back(track);
    ++blocks;
    check(blocks <= bytes / 24 + 2);
    return true;
  }
  void ended() {
    check(phase != Phase::Idle);
    check(lastChunkHanded);
    check(!trackEnded);
    trackEnded = true;
  }

  void begin() {
    closedAt = consoleLength();
    arm();
  }
  bool finished() const { return done; }

 private:
  enum class Phase : uint8_t { Idle, Playing, Closing };

  bool full() const { return refuse > 0 || pcm.size() >= 5; }
  void arm() {
    // Between tracks nothing is decoded: no error found in old bytes, no header in them.
    const std::string between = console().substr(closedAt);
    check(between.find("decoding error") == std::string::npos);
    check(between.find("MAD_FLOW_STOP") == std::string::npos);
    nextPending = false;
    dec.startDecoding();
    phase = Phase::Playing;
    trackStarted = rateKnown = trackEnded = lastChunkHanded = false;
    blocks = bytes = 0;
    ++track;
  }
  void stopTrack() {
    if (phase != Phase::Playing) return;
    dec.stop();
    phase = Phase::Closing;
    closingWaits = 0;
  }
  // The player's close once the decoder is idle: what is still queued of the track is dropped.
  void settle() {
    if (dec.isRunning()) return;
    pcm.clear();
    phase = Phase::Idle;
    closedAt = consoleLength();
    if (finalStop) {
      done = true;
    } else if (nextPending) {
      arm();
    }
  }
  void take(size_t n) {
    while (n-- > 0 && !pcm.empty()) pcm.pop_front();
  }
  void hand(const Action& a) {
    if (phase != Phase::Playing || lastChunkHanded) return;
    if (input.items.size() >= input.capacity) {
      // The player waits for room while the output plays on.
      --next;
      take(1);
      if (refuse > 0) --refuse;
      return;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(&a.chunk);
    input.items.emplace_back(p, p + sizeof a.chunk);
    bytes += a.chunk.dataSize <= 512 ? a.chunk.dataSize : 512;
    lastChunkHanded = a.chunk.endOfFile;
    Singleton<_AudioSettings>::Instance().setMono(a.mono);
  }
  // No more input: a track that got its last chunk plays out (its end must come), any other
  // is stopped; at the very end one more track is armed and stopped, which ends the run.
  void endOfInput() {
    if (phase == Phase::Playing && lastChunkHanded && dec.isRunning() && !trackEnded) {
      take(pcm.size());
      refuse = 0;
      check(++drainWaits <= 4096);
      return;
    }
    if (phase == Phase::Playing) {
      stopTrack();
      return;
    }
    if (!finalStop) {
      finalStop = true;
      arm();
      stopTrack();
    }
  }

  DecodeMp3& dec;
  Store& input;
  std::vector<Action> actions;
  size_t next = 0;
  Phase phase = Phase::Idle;
  bool nextPending = false, finalStop = false, done = false;
  uint32_t track = 0;
  bool trackStarted = false, rateKnown = false, trackEnded = false, lastChunkHanded = false;
  std::deque<uint32_t> pcm;
  size_t refuse = 0;
  size_t blocks = 0, bytes = 0, bytesAll = 0;
  size_t waits = 0, closingWaits = 0, drainWaits = 0;
  size_t closedAt = 0;
};

}  // namespace

// ---- the kernel's wrappers, on one thread

namespace cpp_freertos {

Queue::Queue(UBaseType_t maxItems, UBaseType_t itemSize) {
  lastCreated = new Store{maxItems, itemSize, {}};
  handle = reinterpret_cast<QueueHandle_t>(lastCreated);
}
Queue::~Queue() { delete &store(handle); }
bool Queue::Enqueue(void* item) { return Enqueue(item, portMAX_DELAY); }
bool Queue::Enqueue(void* item, TickType_t) {
  Store& s = store(handle);
  if (s.items.size() >= s.capacity) return false;
  const auto* p = static_cast<const uint8_t*>(item);
  s.items.emplace_back(p, p + s.itemSize);
  return true;
}
bool Queue::EnqueueFromISR(void* item, BaseType_t*) { return Enqueue(item, 0); }
bool Queue::Dequeue(void* item, TickType_t timeout) {
  Store& s = store(handle);
  if (s.items.empty() && world != nullptr) world->step();
  if (s.items.empty()) {
    ticks += timeout;
    return false;
  }
  std::memcpy(item, s.items.front().data(), s.itemSize);
  s.items.pop_front();
  return true;
}
void Queue::Flush() { store(handle).items.clear(); }
UBaseType_t Queue::NumItems() { return store(handle).items.size(); }

Thread::Thread(const char*, uint16_t, UBaseType_t) {}
Thread::~Thread() = default;
bool Thread::Start() { return true; }

Mutex::~Mutex() = default;
MutexStandard::MutexStandard() = default;
bool MutexStandard::Lock(TickType_t) { return true; }
bool MutexStandard::Unlock() { return true; }

Semaphore::~Semaphore() = default;
BinarySemaphore::BinarySemaphore(bool) {}

}  // namespace cpp_freertos

namespace singleton_detail {
void lock() {}
void unlock() {}
}  // namespace singleton_detail

extern "C" TickType_t xTaskGetTickCount(void) { return ticks; }

// ---- the output, as far as the decoder reaches it

Dac::Dac() : Thread("DacTask", 2048, 5) {}
void Dac::Run() {}
void Dac::startAudio(uint32_t) { world->started(); }
void Dac::setSampleRate(uint32_t rate) { world->rate(rate); }
bool Dac::enqueueAudioData(uint16_t* output) { return world->offer(output); }
void Dac::finishAudio() { world->ended(); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  stdout = open_memstream(&consoleBuffer, &consoleSize);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<Action> actions;
  size_t at = 0;
  while (at < size) {
    Action a;
    const uint8_t flags = data[at++];
    uint32_t n = 0;
    if (at < size) n = data[at++];
    if (at < size) n |= static_cast<uint32_t>(data[at++]) << 8;
    const uint8_t kind = (flags >> 3) & 7;
    a.kind = kind >= 1 && kind <= 4 ? kind : 0;
    a.count = static_cast<uint8_t>(n);
    if (a.kind == 0) {
      a.chunk.dataSize = n;  // may claim more than 512: the decoder takes at most 512
      const size_t copy = std::min<size_t>({n, sizeof a.chunk.data, size - at});
      std::memcpy(a.chunk.data, data + at, copy);
      at += copy;
      a.chunk.stop = (flags & 1) != 0;
      a.chunk.endOfFile = (flags & 2) != 0;
      a.mono = (flags & 4) != 0;
    }
    actions.push_back(a);
  }

  std::fflush(stdout);
  std::fseek(stdout, 0, SEEK_SET);
  static Dac dac;
  DecodeMp3 decoder(&dac);
  World w(decoder, *lastCreated, std::move(actions));
  world = &w;
  ticks = 0;
  w.begin();
  // The decoder thread's body, run by run, until the world has nothing more to do.
  for (size_t runs = 0; !w.finished(); ++runs) {
    check(runs <= 4 * size + 64);
    decoder.decodeRun();
    w.afterRun();
  }
  world = nullptr;
  delete decoder.mp3DataInQueue;
  return 0;
}
