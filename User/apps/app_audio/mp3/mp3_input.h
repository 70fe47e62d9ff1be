// The decoder's two ends without the threads around them: the input buffer that libmad reads
// the track from, filled from the track player's file chunks, and the PCM block that the
// synthesised samples are gathered into for the PCM output.
#pragma once

#include <mad.h>

#include <atomic>
#include <cstdint>
#include <cstring>

// One chunk of the file, as the track player hands it to the decoder.
struct Mp3DataIn {
  uint32_t dataSize;  // valid bytes in data, 0..512
  uint8_t data[512];  // file bytes, in file order
  bool stop;          // the decoder ends its run after taking this record
  bool endOfFile;     // the last chunk of the file: the decoder decodes to the last frame
};

// The bytes libmad decodes from. libmad decodes a frame only when the whole frame and
// MAD_BUFFER_GUARD bytes after it are in the buffer; the bytes it has not consumed are kept at
// the front, and file chunks are appended behind them until the buffer is full (as much of the
// last chunk as fits; the rest waits for the next call), so that any frame up to
// SIZE - MAD_BUFFER_GUARD bytes long decodes: Layer II at 384 kbit/s with 32 kHz, and
// free-format streams, whose frame length libmad finds only with the next frame's header in
// the buffer too. After the last chunk of the file MAD_BUFFER_GUARD zero bytes follow, so the
// last frame decodes too.
// A frame that still does not fit (the buffer is full and libmad consumed nothing) is skipped:
// the buffer is emptied and libmad finds the next frame in the bytes that follow.
class Mp3Input {
 public:
  static constexpr uint32_t SIZE = 4096;

  // What the input callback does next.
  enum Action : uint8_t {
    INPUT_CONTINUE,  // libmad goes on with the buffer
    INPUT_STOP,      // a record with `stop` was taken: the run ends
    INPUT_END,       // the file has been decoded to its end: everything was handed over
  };
  struct Result {
    Action action;
    bool skipped;  // a frame too long for the buffer was passed over
  };

  // A new track: nothing kept, nothing pending, offsets count from the track's first byte.
  void restart();
  // A new libmad run on the same track: what is in the buffer is not decoded.
  void dropBuffered();

  // The input callback's work: keeps what libmad has not consumed, appends what is left of the
  // chunk taken before, then takes chunks while there is room (`take(Mp3DataIn&)` waits for one
  // and says whether it came) and appends them, and hands the buffer to libmad.
  template <typename Take>
  Result refill(mad_stream* stream, Take&& take) {
    Result r{INPUT_CONTINUE, false};
    if (guarded) {
      // libmad asked again after the guard bytes: everything of the file has been decoded.
      r.action = INPUT_END;
      return r;
    }
    keep(stream->next_frame, stream->bufend);
    if (size == SIZE) {
      skip();
      r.skipped = true;
    }
    fill();  // the rest of the chunk taken before
    while (pendingSize == 0 && !ended && size < SIZE && r.action == INPUT_CONTINUE && take(chunk)) {
      pendingSize = chunk.dataSize <= sizeof chunk.data ? chunk.dataSize : sizeof chunk.data;
      pendingFrom = 0;
      ended = chunk.endOfFile;
      if (chunk.stop) r.action = INPUT_STOP;
      fill();
    }
    mad_stream_buffer(stream, buffer, size);
    return r;
  }

  // The offset from the track's first byte of a byte in the buffer (a frame's start).
  uint32_t offsetOf(const unsigned char* p) const {
    return base + static_cast<uint32_t>(p - buffer);
  }
  // The offset just after the last byte handed to libmad.
  uint32_t endOffset() const { return base + size - (guarded ? MAD_BUFFER_GUARD : 0); }
  bool finished() const { return guarded; }
  uint32_t buffered() const { return size; }

 private:
  void keep(const unsigned char* nextFrame, const unsigned char* bufEnd);
  void skip();
  void fill();

  unsigned char buffer[SIZE + MAD_BUFFER_GUARD];
  uint32_t size = 0;         // bytes handed to libmad
  uint32_t base = 0;         // track offset of buffer[0]
  Mp3DataIn chunk;           // the record taken last
  uint32_t pendingSize = 0;  // its bytes not yet in the buffer: [pendingFrom, pendingSize)
  uint32_t pendingFrom = 0;
  bool ended = false;    // the last chunk of the file has been taken
  bool guarded = false;  // ... and all of it, with the guard bytes, handed to libmad
};

// Rounds a libmad sample (28 fraction bits) to 16 bits and clips it.
inline int scaleSample(mad_fixed_t sample) {
  const int64_t x = (static_cast<int64_t>(sample) + 4096) >> 13;
  return x > 32767 ? 32767 : (x < -32768 ? -32768 : static_cast<int>(x));
}

// One PCM block for the output: 1,152 stereo frames of signed 16 bits, left and right
// interleaved. Frames of fewer samples (Layer I, MPEG-2 Layer III) are gathered until a block
// is full, so the output plays them without gaps.
class PcmBlock {
 public:
  static constexpr uint32_t FRAMES = 1152;

  void clear() { frames = 0; }
  bool empty() const { return frames == 0; }
  bool full() const { return frames == FRAMES; }
  // Appends the samples of `pcm` from `from` on until the block is full; returns the index
  // after the last one taken. Two channels are mixed to their mean (rounded towards minus
  // infinity) while `mono` is set, read for every sample pair; one channel goes to both.
  uint32_t append(const mad_pcm& pcm, uint32_t from, const std::atomic<bool>& mono);
  // The rest of the block as silence (the end of a track).
  void padWithSilence();
  uint16_t* data() { return samples; }

 private:
  uint16_t samples[2 * FRAMES];
  uint32_t frames = 0;
};
