// MP3 decoder driver: the thread ("DecodeMp3") that turns the track player's file chunks into
// PCM blocks for the output, with libmad in its synchronous mode.
//
// libmad runs continuously and calls back for input, each frame header, each synthesised frame
// and each recoverable error; the callbacks reach the one instance through `thisptr`. A track is
// bracketed by the track player: startDecoding() arms it (its first header starts the output),
// the last chunk of the file carries `endOfFile` (the decoder decodes to the last frame, sends
// what it holds, tells the output that the stream has ended and reports the track finished),
// and stop() ends it at the next callback. Nothing of a track is decoded once it has ended.
#pragma once

#include <mad.h>

#include <atomic>
#include <cstdint>

#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/thread.hpp"
#include "dac/dac.h"
#include "mp3/mp3_input.h"

class DecodeMp3 : public cpp_freertos::Thread {
 public:
  explicit DecodeMp3(Dac* dac);

  // ---- the track player
  void startDecoding();
  // One chunk into the input queue, waiting at most ENQUEUE_WAIT ticks.
  bool enqueue(Mp3DataIn& dataIn);
  void stop();
  // The armed track has not yet been stopped or decoded to its end.
  bool isRunning() { return running.load(std::memory_order_acquire); }
  // The armed track's file has been decoded to its end and every block of it sent.
  bool isFinished() { return finished.load(std::memory_order_acquire); }
  // Where, counted from the first byte handed over for the armed track, the frame that begins
  // PCM block `block` (numbered from 0 in sending order) starts. Valid for the blocks still in
  // the output's queue or buffer.
  uint32_t blockOffset(int32_t block);

  static int scale(mad_fixed_t sample) { return scaleSample(sample); }

  // One libmad run, from a fresh decoder until a callback ends it (the track is stopped,
  // finished or handed over) or libmad fails; the thread's body runs it again and again.
  void decodeRun();

  // ---- libmad's callbacks, through thisptr
  enum mad_flow cbInput(void* data, mad_stream* stream);
  enum mad_flow cbHeader(void* data, const mad_header* header);
  enum mad_flow cbOutput(void* data, const mad_header* header, mad_pcm* pcm);
  enum mad_flow cbError(void* data, mad_stream* stream, mad_frame* frame);

  static constexpr uint32_t ENQUEUE_WAIT = 10;  // kernel ticks

  static DecodeMp3* thisptr;
  cpp_freertos::Queue* mp3DataInQueue;
  std::atomic<unsigned int> samplerate{0};

 protected:
  void Run() override;

 private:
  bool takeChunk(Mp3DataIn& chunk);
  bool adoptTrack();
  void startOutput();
  bool sendBlock();
  enum mad_flow stopHere();
  enum mad_flow finishTrack();
  void waitAfterFailure();

  mad_decoder decoder;
  Mp3Input input;  // the buffer libmad reads (decoderBuffer)
  PcmBlock block;  // the block being gathered
  std::atomic<bool> doStop{false};
  std::atomic<bool> doStart{false};
  std::atomic<bool> running{false};
  std::atomic<bool> finished{false};
  std::atomic<uint32_t> armedTrack{0};  // counts startDecoding() calls
  Dac* dac;

  // Decoder thread only.
  uint32_t track = 0;          // the armed track this thread decodes
  bool runFed = false;         // this libmad run has been given bytes
  bool runEndsTrack = false;   // this libmad run ends because the track was stopped or finished
  bool outputStarted = false;  // START posted for the track
  bool skipLogged = false;
  int32_t blocksSent = 0;
  uint32_t frameOffset = 0;  // offset of the frame being decoded
  uint32_t blockStart = 0;   // offset of the frame the gathered block begins with
  uint32_t failDelay = 0;    // ticks to wait after a failed run; grows while runs keep failing
  Mp3DataIn held;            // a new track's first chunk, kept for the next run
  bool hasHeld = false;
  uint32_t heldTrack = 0;

  // Offsets of the last blocks sent, by block number modulo the size.
  static constexpr uint32_t OFFSETS = 16;
  std::atomic<uint32_t> offsets[OFFSETS] = {};
};

extern "C" {
// libmad's working memory (its allocations are routed here at link time).
void* mp3_malloc(size_t size);
void* mp3_calloc(size_t n, size_t size);
void mp3_free(void* p);
}
