// Fuzz target: the MP3 decoder driver's input side with libmad, fed arbitrary chunks. Whatever
// the chunks hold (any byte count, stop and end-of-file flags, any stream bytes), decoding
// must neither crash nor stop making progress: every call for input either takes bytes, passes
// over bytes, or ends.
//
// Input: records of [flags][size low][size high][size bytes of data]; flags bit 0 stop, bit 1
// end of file, bit 2 the mono switch. The last record is cut short when the input ends.
#include <mad.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mp3/mp3_input.h"

extern "C" {
void* mp3_malloc(size_t size) { return malloc(size); }
void* mp3_calloc(size_t n, size_t size) { return calloc(n, size); }
void mp3_free(void* p) { free(p); }
}

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Feed {
  std::vector<Mp3DataIn> records;
  size_t next = 0;
  size_t bytes = 0;  // data bytes in all records
  Mp3Input input;
  PcmBlock block;
  std::atomic<bool> mono{false};
  size_t inputCalls = 0;
  size_t blocks = 0;
  bool ended = false;
};

enum mad_flow onInput(void* data, mad_stream* stream) {
  auto* f = static_cast<Feed*>(data);
  ++f->inputCalls;
  // Each call takes or passes over bytes; more calls than bytes and records means a loop.
  check(f->inputCalls <= f->bytes + 4 * f->records.size() + 64);
  // libmad consumed nothing of what it was handed last time.
  const bool stalled = stream->buffer != nullptr && stream->next_frame == stream->buffer;
  const Mp3Input::Result r = f->input.refill(stream, [f](Mp3DataIn& chunk) {
    if (f->next >= f->records.size()) return false;
    std::memcpy(&chunk, &f->records[f->next++], sizeof chunk);
    return true;
  });
  if (r.action == Mp3Input::INPUT_END) {
    f->ended = true;
    return MAD_FLOW_STOP;
  }
  if (r.action == Mp3Input::INPUT_STOP) return MAD_FLOW_STOP;
  // Nothing more will come and nothing moved: the driver would wait here for the next chunk.
  if (stalled && f->next >= f->records.size()) return MAD_FLOW_STOP;
  return MAD_FLOW_CONTINUE;
}

enum mad_flow onOutput(void* data, const mad_header*, mad_pcm* pcm) {
  auto* f = static_cast<Feed*>(data);
  check(pcm->length <= 1152 && pcm->channels >= 1 && pcm->channels <= 2);
  uint32_t i = 0;
  while (i < pcm->length) {
    i = f->block.append(*pcm, i, f->mono);
    if (f->block.full()) {
      ++f->blocks;
      f->block.clear();
    }
  }
  return MAD_FLOW_CONTINUE;
}

enum mad_flow onError(void*, mad_stream* stream, mad_frame*) {
  check(MAD_RECOVERABLE(stream->error));
  return MAD_FLOW_CONTINUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Feed f;
  size_t at = 0;
  while (at < size) {
    Mp3DataIn r{};
    const uint8_t flags = data[at++];
    uint32_t n = 0;
    if (at < size) n = data[at++];
    if (at < size) n |= static_cast<uint32_t>(data[at++]) << 8;
    r.dataSize = n;  // may claim more than 512: the buffer takes at most 512
    const size_t copy = std::min<size_t>({n, sizeof r.data, size - at});
    std::memcpy(r.data, data + at, copy);
    at += copy;
    r.stop = (flags & 1) != 0;
    r.endOfFile = (flags & 2) != 0;
    f.mono = (flags & 4) != 0;
    f.bytes += std::min<uint32_t>(n, sizeof r.data);
    f.records.push_back(r);
  }
  f.input.restart();
  f.block.clear();
  // Runs follow one another as in the driver until the records are used up or the file ended.
  for (int run = 0; run <= static_cast<int>(f.records.size()) && !f.ended; ++run) {
    mad_decoder decoder;
    mad_decoder_init(&decoder, &f, onInput, nullptr, nullptr, onOutput, onError, nullptr);
    mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
    mad_decoder_finish(&decoder);
    if (f.next >= f.records.size() && !f.input.finished()) break;
  }
  // At most one block of output for every 24 input bytes (the smallest frame that gives 1,152).
  check(f.blocks <= f.bytes / 24 + 2);
  return 0;
}
