#include "decode_mp3.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audioSettings.h"
#include "singleton.h"
#include "task.h"

DecodeMp3* DecodeMp3::thisptr = nullptr;

namespace {

constexpr uint32_t INPUT_WAIT = 50;            // ticks the input callback waits for a chunk
constexpr uint32_t FIRST_FAIL_DELAY = 50;      // ticks after a failed run (100 ms) ...
constexpr uint32_t LONGEST_FAIL_DELAY = 2500;  // ... doubling while runs keep failing, to 5 s

enum mad_flow mad_cb_input(void* data, mad_stream* stream) {
  return DecodeMp3::thisptr == nullptr ? MAD_FLOW_STOP : DecodeMp3::thisptr->cbInput(data, stream);
}

enum mad_flow mad_cb_header(void* data, const mad_header* header) {
  return DecodeMp3::thisptr == nullptr ? MAD_FLOW_STOP : DecodeMp3::thisptr->cbHeader(data, header);
}

enum mad_flow mad_cb_output(void* data, const mad_header* header, mad_pcm* pcm) {
  return DecodeMp3::thisptr == nullptr ? MAD_FLOW_STOP
                                       : DecodeMp3::thisptr->cbOutput(data, header, pcm);
}

enum mad_flow mad_cb_error(void* data, mad_stream* stream, mad_frame* frame) {
  return DecodeMp3::thisptr == nullptr ? MAD_FLOW_STOP
                                       : DecodeMp3::thisptr->cbError(data, stream, frame);
}

}  // namespace

extern "C" {

void* mp3_malloc(size_t size) {
  void* p = malloc(size);
  if (p == nullptr) printf("mp3_malloc fail allocating %i bytes\r\n", static_cast<int>(size));
  return p;
}

void* mp3_calloc(size_t n, size_t size) { return calloc(n, size); }

void mp3_free(void* p) { free(p); }

}  // extern "C"

DecodeMp3::DecodeMp3(Dac* d) : Thread("DecodeMp3", 16384, 5), dac(d) {
  thisptr = this;
  mp3DataInQueue = new cpp_freertos::Queue(5, sizeof(Mp3DataIn));
  Start();
}

void DecodeMp3::startDecoding() {
  mp3DataInQueue->Flush();
  doStop.store(false, std::memory_order_relaxed);
  finished.store(false, std::memory_order_relaxed);
  doStart.store(true, std::memory_order_relaxed);
  running.store(true, std::memory_order_relaxed);
  // Published last: the decoder takes up the new track when it sees the new number.
  armedTrack.fetch_add(1, std::memory_order_release);
}

bool DecodeMp3::enqueue(Mp3DataIn& dataIn) {
  return mp3DataInQueue->Enqueue(&dataIn, ENQUEUE_WAIT);
}

void DecodeMp3::stop() { doStop.store(true, std::memory_order_relaxed); }

uint32_t DecodeMp3::blockOffset(int32_t n) {
  return offsets[static_cast<uint32_t>(n) % OFFSETS].load(std::memory_order_relaxed);
}

void DecodeMp3::Run() {
  for (;;) decodeRun();
}

void DecodeMp3::decodeRun() {
  runFed = false;
  runEndsTrack = false;
  mad_decoder_init(&decoder, nullptr, mad_cb_input, mad_cb_header, nullptr, mad_cb_output,
                   mad_cb_error, nullptr);
  const int result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
  printf("decoder result %i\r\n", result);
  mad_decoder_finish(&decoder);
  if (runEndsTrack) {
    // Nothing of the ended track is decoded again: neither the bytes libmad left nor the rest
    // of the chunk taken last.
    input.restart();
    block.clear();
    running.store(false, std::memory_order_release);
  }
  if (result != 0) {
    waitAfterFailure();
  } else {
    failDelay = 0;
  }
}

// libmad could not run (its memory could not be had, or the stream failed it): the next run
// waits, longer each time, so that a lasting shortage does not spin. Meanwhile the armed
// track's chunks cannot be decoded and are dropped, so that the track still comes to its end.
void DecodeMp3::waitAfterFailure() {
  failDelay = failDelay == 0 ? FIRST_FAIL_DELAY : failDelay * 2;
  if (failDelay > LONGEST_FAIL_DELAY) failDelay = LONGEST_FAIL_DELAY;
  const TickType_t start = xTaskGetTickCount();
  for (;;) {
    const TickType_t waited = xTaskGetTickCount() - start;
    if (waited >= failDelay) return;
    if (doStop.load(std::memory_order_relaxed) && running.load(std::memory_order_relaxed)) {
      running.store(false, std::memory_order_release);
    }
    Mp3DataIn chunk;
    const uint32_t left = failDelay - waited;
    if (mp3DataInQueue->Dequeue(&chunk, left < INPUT_WAIT ? left : INPUT_WAIT) && chunk.endOfFile &&
        running.load(std::memory_order_relaxed) && !doStop.load(std::memory_order_relaxed)) {
      finished.store(true, std::memory_order_release);
      running.store(false, std::memory_order_release);
      dac->finishAudio();
    }
  }
}

bool DecodeMp3::takeChunk(Mp3DataIn& chunk) {
  if (hasHeld) {
    hasHeld = false;
    if (heldTrack == track) {
      std::memcpy(&chunk, &held, sizeof chunk);
      runFed = true;
      return true;
    }
  }
  if (!mp3DataInQueue->Dequeue(&chunk, INPUT_WAIT)) return false;
  // Between tracks nothing is decoded: what still arrives of an old one is dropped.
  if (!running.load(std::memory_order_relaxed)) return false;
  // The first chunk of a track armed while this thread waited for it (the track player queues
  // chunks only after arming the track).
  if (armedTrack.load(std::memory_order_acquire) != track && !adoptTrack()) {
    std::memcpy(&held, &chunk, sizeof held);
    heldTrack = armedTrack.load(std::memory_order_relaxed);
    hasHeld = true;
    return false;
  }
  runFed = true;
  return true;
}

// A newly armed track starts from nothing. Returns false when this run holds bytes of an older
// track: the run ends, and the track begins with a fresh decoder in the next one.
bool DecodeMp3::adoptTrack() {
  const uint32_t armed = armedTrack.load(std::memory_order_acquire);
  if (armed == track) return true;
  if (runFed) return false;
  track = armed;
  input.restart();
  block.clear();
  blocksSent = 0;
  outputStarted = false;
  skipLogged = false;
  frameOffset = 0;
  return true;
}

void DecodeMp3::startOutput() {
  dac->startAudio(44100);
  outputStarted = true;
}

// Sends the gathered block, offering it again every 5 ticks until it is taken; false when the
// track is stopped meanwhile.
bool DecodeMp3::sendBlock() {
  offsets[static_cast<uint32_t>(blocksSent) % OFFSETS].store(blockStart, std::memory_order_relaxed);
  for (;;) {
    if (dac->enqueueAudioData(block.data())) {
      ++blocksSent;
      block.clear();
      return true;
    }
    if (doStop.load(std::memory_order_relaxed)) return false;
  }
}

enum mad_flow DecodeMp3::stopHere() {
  puts("MAD_FLOW_STOP\r");
  runEndsTrack = true;
  return MAD_FLOW_STOP;
}

// libmad has decoded every frame of the file: what is gathered is sent (a track of a single
// block still gets two, so that the output can start), and the track is finished.
enum mad_flow DecodeMp3::finishTrack() {
  if (!block.empty()) {
    block.padWithSilence();
    if (!sendBlock()) return stopHere();
  }
  while (outputStarted && blocksSent < 2) {
    blockStart = input.endOffset();
    block.clear();
    block.padWithSilence();
    if (!sendBlock()) return stopHere();
  }
  input.restart();
  finished.store(true, std::memory_order_release);
  // The output plays everything out and stops; nobody has to tell it on our behalf.
  if (!doStop.load(std::memory_order_relaxed)) dac->finishAudio();
  runEndsTrack = true;
  return MAD_FLOW_STOP;
}

enum mad_flow DecodeMp3::cbInput(void* data, mad_stream* stream) {
  (void)data;
  if (doStop.load(std::memory_order_relaxed) && running.load(std::memory_order_relaxed)) {
    return stopHere();
  }
  if (!adoptTrack()) return MAD_FLOW_STOP;
  const Mp3Input::Result r = input.refill(stream, [this](Mp3DataIn& c) { return takeChunk(c); });
  if (hasHeld) return MAD_FLOW_STOP;  // a new track's chunk waits for a fresh run
  if (r.skipped && !skipLogged) {
    puts("mp3 frame too long for the decoder buffer, skipped\r");
    skipLogged = true;
  }
  switch (r.action) {
    case Mp3Input::INPUT_STOP: return stopHere();
    case Mp3Input::INPUT_END: return finishTrack();
    default: return MAD_FLOW_CONTINUE;
  }
}

enum mad_flow DecodeMp3::cbHeader(void* data, const mad_header* header) {
  (void)data;
  if (armedTrack.load(std::memory_order_acquire) != track) return MAD_FLOW_STOP;
  frameOffset = input.offsetOf(decoder.sync->stream.this_frame);
  if (doStart.exchange(false, std::memory_order_relaxed)) startOutput();
  samplerate.store(header->samplerate, std::memory_order_relaxed);
  if (doStop.load(std::memory_order_relaxed)) return stopHere();
  return MAD_FLOW_CONTINUE;
}

enum mad_flow DecodeMp3::cbOutput(void* data, const mad_header* header, mad_pcm* pcm) {
  (void)data;
  if (armedTrack.load(std::memory_order_acquire) != track) return MAD_FLOW_STOP;
  if (doStart.exchange(false, std::memory_order_relaxed)) startOutput();
  // The output follows the rate of the frames that are heard: a false header in junk (a tag,
  // padding) whose frame decodes to nothing does not switch the rate under the track's end.
  dac->setSampleRate(header->samplerate);
  const std::atomic<bool>& mono = Singleton<_AudioSettings>::Instance().mono;
  uint32_t i = 0;
  while (i < pcm->length) {
    if (block.empty()) blockStart = frameOffset;
    i = block.append(*pcm, i, mono);
    if (block.full() && !sendBlock()) return stopHere();
    if (pcm->length > PcmBlock::FRAMES) break;
  }
  if (doStop.load(std::memory_order_relaxed)) return stopHere();
  return MAD_FLOW_CONTINUE;
}

enum mad_flow DecodeMp3::cbError(void* data, mad_stream* stream, mad_frame* frame) {
  (void)data;
  (void)frame;
  // After the last frame of a file the decoder meets only the guard bytes that let it decode
  // that frame: losing the sync there is the end of the stream, not an error in it.
  const bool inGuard = input.finished() && stream->this_frame != nullptr &&
                       input.offsetOf(stream->this_frame) >= input.endOffset();
  if (!(inGuard && stream->error == MAD_ERROR_LOSTSYNC)) {
    printf("decoding error 0x%04x (%s) \r\n", static_cast<unsigned>(stream->error),
           mad_stream_errorstr(stream));
  }
  return doStop.load(std::memory_order_relaxed) ? MAD_FLOW_STOP : MAD_FLOW_CONTINUE;
}
