// The simulator's audio files: what the speaker played (--wav) and the frames the SAI sent
// (--sai-capture), fed by the codec's playback path.
//
//   --sai-capture: the frames as the SAI sent them, bit for bit, appended while the DMA runs;
//     a 16-bit stereo WAV whose header rate is the link's rate when the file's first frame was
//     sent (the samples of later tracks at other rates are kept as sent, so they play at the
//     wrong speed; the trace's `audio` events tell each rate).
//   --wav: the speaker over the whole run in virtual real time at a fixed 48 kHz: silence while
//     the link is stopped, muted or the board is off. Another link rate is resampled by cubic
//     (Catmull-Rom) interpolation between the processed frames at each output instant; at
//     48 kHz each output takes the processed frame nearest in time, so the samples pass
//     unchanged. Output frame k plays at virtual time k / 48000 s since the first power-on.
// The files are appended to by every life of the board (each a process of its own); the
// simulator finalises the headers when the run ends.
// The processor's vector intrinsics come before the board's headers, whose register macros
// would clash with names inside them.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SHAPEPLAY_WIDE_RESAMPLER 1
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_sinks.h"

#if defined(__SSE2__) && !SHAPEPLAY_WIDE_RESAMPLER
#include <emmintrin.h>
#endif

#include "codec_path.h"
#include "runtime_heap.h"

namespace simaudio {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kFlushBytes = 1 << 18;  // one write for about 1.4 s of the speaker's sound

double clip16(double v) { return v > 32767.0 ? 32767.0 : (v < -32768.0 ? -32768.0 : v); }

// Rounds to the nearest 16-bit sample, halves away from zero (as lround does), after clipping.
// Without branches: the fraction of a signal is as good as random.
[[maybe_unused]] inline std::int16_t toSample(double v) {
  v = clip16(v);
  const auto n = static_cast<std::int32_t>(v);  // towards zero; the fraction left is exact
  const double fraction = v - static_cast<double>(n);
  return static_cast<std::int16_t>(n + static_cast<std::int32_t>(fraction >= 0.5) -
                                   static_cast<std::int32_t>(fraction <= -0.5));
}

// A left and a right value side by side: every operation on them is exactly the operation on
// each value alone.
using Pair = double __attribute__((vector_size(16)));

// toSample of both values of a pair, into o[0] and o[1].
inline void toSamples(Pair v, std::int16_t* o) {
#if defined(__SSE2__)
  // The same steps on both lanes: clipping that lets NaN through as clip16 does, truncation,
  // the exact fraction, one up or down, and the low 16 bits.
  const __m128d x = _mm_min_pd(_mm_set1_pd(32767.0), _mm_max_pd(_mm_set1_pd(-32768.0), v));
  __m128i n = _mm_cvttpd_epi32(x);
  const __m128d fraction = _mm_sub_pd(x, _mm_cvtepi32_pd(n));
  const __m128i up = _mm_castpd_si128(_mm_cmpge_pd(fraction, _mm_set1_pd(0.5)));
  const __m128i down = _mm_castpd_si128(_mm_cmple_pd(fraction, _mm_set1_pd(-0.5)));
  n = _mm_sub_epi32(n, _mm_shuffle_epi32(up, _MM_SHUFFLE(3, 3, 2, 0)));
  n = _mm_add_epi32(n, _mm_shuffle_epi32(down, _MM_SHUFFLE(3, 3, 2, 0)));
  const std::int32_t both = _mm_cvtsi128_si32(_mm_shufflelo_epi16(n, _MM_SHUFFLE(3, 3, 2, 0)));
  std::memcpy(o, &both, sizeof both);
#else
  o[0] = toSample(v[0]);
  o[1] = toSample(v[1]);
#endif
}

bool writeAll(int fd, const void* data, std::size_t bytes) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

bool pwriteAll(int fd, const void* data, std::size_t bytes, off_t at) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (bytes > 0) {
    const ssize_t n = ::pwrite(fd, p, bytes, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    at += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, static_cast<std::uint16_t>(v));
  put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

void rateFields(std::uint8_t* p, std::uint32_t rate) {
  put32(p, rate);          // sample rate
  put32(p + 4, rate * 4);  // bytes a second
}

// The cubic interpolation of the speaker's resampling (Catmull-Rom) between y1 and y2 at t.
inline Pair cubic(Pair y0, Pair y1, Pair y2, Pair y3, Pair t) {
  return y1 +
         0.5 * t * (y2 - y0 + t * (2 * y0 - 5 * y1 + 4 * y2 - y3 + t * (3 * (y1 - y2) + y3 - y0)));
}

// `count` outputs of the resampling whose four input frames all lie in `frames`: output j
// lies between frames index[j] and index[j] + 1 (counted from `base`, the first frame there)
// at fraction[j]; its left and right go to o[2 * j] and o[2 * j + 1]. Two outputs share each
// operation (on each value exactly the operation one alone would get). The path of processors
// without AVX (cubicRun() below serves the others).
void cubicOutputs(const double* frames, std::int64_t base, const std::int64_t* index,
                  const double* fraction, std::size_t count, std::int16_t* o) {
  using Quad = double __attribute__((vector_size(32)));
  std::size_t j = 0;
  for (; j + 2 <= count; j += 2) {
    const double* a = frames + (index[j] - 1 - base) * 2;
    const double* b = frames + (index[j + 1] - 1 - base) * 2;
    const double ta = fraction[j], tb = fraction[j + 1];
    const Quad y0 = {a[0], a[1], b[0], b[1]}, y1 = {a[2], a[3], b[2], b[3]},
               y2 = {a[4], a[5], b[4], b[5]}, y3 = {a[6], a[7], b[6], b[7]}, t = {ta, ta, tb, tb};
    // cubic() on both outputs at once.
    const Quad v =
        y1 +
        0.5 * t * (y2 - y0 + t * (2 * y0 - 5 * y1 + 4 * y2 - y3 + t * (3 * (y1 - y2) + y3 - y0)));
    // toSample() on the four values: clipped (a NaN passes), truncated, one up or down by the
    // exact fraction, the low 16 bits.
    using Mask = std::int64_t __attribute__((vector_size(32)));
    using Int32x4 = std::int32_t __attribute__((vector_size(16)));
    using Int16x4 = std::int16_t __attribute__((vector_size(8)));
    const Mask high = v > 32767.0, low = v < -32768.0;
    const Quad top = {32767.0, 32767.0, 32767.0, 32767.0};
    const Quad bottom = {-32768.0, -32768.0, -32768.0, -32768.0};
    const Quad x = reinterpret_cast<Quad>((reinterpret_cast<Mask>(v) & ~(high | low)) |
                                          (reinterpret_cast<Mask>(top) & high) |
                                          (reinterpret_cast<Mask>(bottom) & low));
    Int32x4 n = __builtin_convertvector(x, Int32x4);
    const Quad fraction4 = x - __builtin_convertvector(n, Quad);
    n = n - __builtin_convertvector(static_cast<Mask>(fraction4 >= 0.5), Int32x4) +
        __builtin_convertvector(static_cast<Mask>(fraction4 <= -0.5), Int32x4);
    const Int16x4 samples = __builtin_convertvector(n, Int16x4);
    std::memcpy(o + 2 * j, &samples, sizeof samples);
  }
  for (; j < count; ++j) {
    const double* a = frames + (index[j] - 1 - base) * 2;
    const double t = fraction[j];
    toSamples(
        cubic(Pair{a[0], a[1]}, Pair{a[2], a[3]}, Pair{a[4], a[5]}, Pair{a[6], a[7]}, Pair{t, t}),
        o + 2 * j);
  }
}

#if SHAPEPLAY_WIDE_RESAMPLER
// A frame from a and one from b, side by side.
__attribute__((target("avx"), always_inline)) inline __m256d frame(const double* a,
                                                                   const double* b) {
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(a)), _mm_loadu_pd(b), 1);
}

// The samples of four values (toSample() on each): clipped (a NaN passes: max and min give
// their second operand then), truncated, one up or down by the exact fraction (twice the
// fraction, truncated, is 1 from 0.5 on and -1 from -0.5 down), the low 16 bits of each 32-bit
// lane.
__attribute__((target("avx"), always_inline)) inline __m128i toSamples(__m256d v) {
  const __m256d x =
      _mm256_min_pd(_mm256_set1_pd(32767.0), _mm256_max_pd(_mm256_set1_pd(-32768.0), v));
  const __m256d whole = _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  const __m256d fraction = _mm256_sub_pd(x, whole);
  const __m256d away =
      _mm256_round_pd(_mm256_add_pd(fraction, fraction), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  return _mm_and_si128(_mm256_cvttpd_epi32(_mm256_add_pd(whole, away)), _mm_set1_epi32(0xFFFF));
}

// Two outputs of the resampling with AVX: their four input frames from a and from b, at
// fractions {ta, ta, tb, tb}; their samples in the low 16 bits of each 32-bit lane. Every value
// gets exactly the operations, in the order, that cubic() and toSample() give it: no fused
// multiply-adds (AVX only).
__attribute__((target("avx"), always_inline)) inline __m128i twoOutputs(const double* a,
                                                                        const double* b,
                                                                        __m256d t) {
  using Quad = double __attribute__((vector_size(32)));
  const Quad y0 = frame(a, b), y1 = frame(a + 2, b + 2), y2 = frame(a + 4, b + 4),
             y3 = frame(a + 6, b + 6), tt = t;
  const __m256d v =
      y1 +
      0.5 * tt * (y2 - y0 + tt * (2 * y0 - 5 * y1 + 4 * y2 - y3 + tt * (3 * (y1 - y2) + y3 - y0)));
  return toSamples(v);
}

// The resampling's outputs with AVX, four at a time, for as long as all four input frames of
// each lie in `frames` (frame `base` first, `last` the segment's latest): output k + j lies at
// position (k + j) / 48 kHz since the segment's start `start` (in seconds), times its `rate`,
// as produce() works it out; its left and right go to o[2 * j] and o[2 * j + 1]. At most
// `most` outputs; returns how many.
__attribute__((target("avx"))) std::size_t cubicRun(const double* frames, std::int64_t base,
                                                    std::int64_t last, double kd, double start,
                                                    double rate, std::size_t most,
                                                    std::int16_t* o) {
  const __m256d lowest = _mm256_set1_pd(static_cast<double>(base + 1));  // frame i - 1 there
  const double highest = static_cast<double>(last - 2);                  // frame i + 2 there
  // In rounds: first where the next outputs lie, then the outputs themselves (two short loops
  // keep more outputs in flight in the processor than one long one).
  constexpr std::size_t kRound = 64;  // outputs a round
  alignas(32) double fraction[kRound];
  alignas(16) std::int32_t first[kRound];  // where each output's four frames start
  // The output numbers, counted up: exact.
  __m256d k = _mm256_add_pd(_mm256_set1_pd(kd), _mm256_set_pd(3, 2, 1, 0));
  std::size_t j = 0;
  for (;;) {
    std::size_t m = 0;
    for (; m < kRound && j + m + 4 <= most; m += 4, k = _mm256_add_pd(k, _mm256_set1_pd(4.0))) {
      const __m256d p = _mm256_mul_pd(
          _mm256_sub_pd(_mm256_div_pd(k, _mm256_set1_pd(kSpeakerRate)), _mm256_set1_pd(start)),
          _mm256_set1_pd(rate));
      const __m256d i = _mm256_round_pd(p, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
      // Positions grow: the first and the last of the four tell whether all have their frames.
      const __m128d high = _mm256_extractf128_pd(i, 1);
      if (_mm256_cvtsd_f64(_mm256_sub_pd(i, lowest)) < 0 ||
          _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)) > highest) {
        break;
      }
      _mm256_store_pd(fraction + m, _mm256_sub_pd(p, i));  // exact
      _mm_store_si128(reinterpret_cast<__m128i*>(first + m),
                      _mm_slli_epi32(_mm256_cvttpd_epi32(_mm256_sub_pd(i, lowest)), 1));
    }
    for (std::size_t q = 0; q < m; q += 4) {
      const __m256d t = _mm256_load_pd(fraction + q);
      const std::int32_t* f = first + q;
      const __m128i a = twoOutputs(frames + f[0], frames + f[1],
                                   _mm256_permute_pd(_mm256_permute2f128_pd(t, t, 0x00), 0xC));
      const __m128i b = twoOutputs(frames + f[2], frames + f[3],
                                   _mm256_permute_pd(_mm256_permute2f128_pd(t, t, 0x11), 0xC));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * (j + q)), _mm_packus_epi32(a, b));
    }
    j += m;
    if (m < kRound) return j;
  }
}

// The same at 48 kHz, where each output takes the frame nearest its position (rounded half
// up), as it is: four outputs at a time, rounded to samples as above.
__attribute__((target("avx"))) std::size_t nearestRun(const double* frames, std::int64_t base,
                                                      std::int64_t last, double kd, double start,
                                                      double rate, std::size_t most,
                                                      std::int16_t* o) {
  const __m256d lowest = _mm256_set1_pd(static_cast<double>(base));
  const double highest = static_cast<double>(last);
  constexpr std::size_t kRound = 64;
  alignas(16) std::int32_t at[kRound];  // where each output's frame is
  __m256d k = _mm256_add_pd(_mm256_set1_pd(kd), _mm256_set_pd(3, 2, 1, 0));
  std::size_t j = 0;
  for (;;) {
    std::size_t m = 0;
    for (; m < kRound && j + m + 4 <= most; m += 4, k = _mm256_add_pd(k, _mm256_set1_pd(4.0))) {
      const __m256d p = _mm256_mul_pd(
          _mm256_sub_pd(_mm256_div_pd(k, _mm256_set1_pd(kSpeakerRate)), _mm256_set1_pd(start)),
          _mm256_set1_pd(rate));
      const __m256d i = _mm256_round_pd(_mm256_add_pd(p, _mm256_set1_pd(0.5)),
                                        _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
      // The first and the last tell whether all four frames are there (and, as produce()
      // asks, the last position is not beyond the last frame).
      const __m128d high = _mm256_extractf128_pd(i, 1), highP = _mm256_extractf128_pd(p, 1);
      if (_mm256_cvtsd_f64(_mm256_sub_pd(i, lowest)) < 0 ||
          _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)) > highest ||
          _mm_cvtsd_f64(_mm_unpackhi_pd(highP, highP)) > highest) {
        break;
      }
      _mm_store_si128(reinterpret_cast<__m128i*>(at + m),
                      _mm_slli_epi32(_mm256_cvttpd_epi32(_mm256_sub_pd(i, lowest)), 1));
    }
    for (std::size_t q = 0; q < m; q += 4) {
      const std::int32_t* f = at + q;
      const __m128i a = toSamples(frame(frames + f[0], frames + f[1]));
      const __m128i b = toSamples(frame(frames + f[2], frames + f[3]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * (j + q)), _mm_packus_epi32(a, b));
    }
    j += m;
    if (m < kRound) return j;
  }
}
#endif

// A growing buffer whose room is not filled in before it is written.
template <typename T>
class Buffer {
 public:
  std::size_t size() const { return size_; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  // Room for `n` more values after the last one; grow() keeps the first of them. What was
  // written into the room before stays (a caller may ask for more room as it writes).
  T* room(std::size_t n) {
    if (size_ + n > capacity_) {
      const std::size_t had = capacity_;
      capacity_ = std::max(size_ + n, 2 * capacity_);
      std::unique_ptr<T[]> bigger(new T[capacity_]());
      if (had != 0) std::memcpy(bigger.get(), data_.get(), had * sizeof(T));
      data_ = std::move(bigger);
    }
    return data_.get() + size_;
  }
  void grow(std::size_t n) { size_ += n; }
  void dropFront(std::size_t n) {
    std::memmove(data_.get(), data_.get() + n, (size_ - n) * sizeof(T));
    size_ -= n;
  }
  void clear() { size_ = 0; }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// A file the board appends 16-bit stereo frames to. Without a file (or after a failed write)
// nothing is kept.
class Sink {
 public:
  void attach(int fd, const char* what) {
    fd_ = fd;
    what_ = what;
    buffer_.clear();
    buffer_.room(kFlushBytes / 2);
    struct stat st {};
    frames_ = fd >= 0 && fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(kHeaderBytes)
                  ? static_cast<std::uint64_t>(st.st_size - kHeaderBytes) / 4
                  : 0;
  }
  // Frames from now on also go to `tap`; without a file they are only counted.
  void tapTo(SpeakerTap* tap, std::uint64_t framesNow) {
    tap_ = tap;
    if (fd_ < 0) frames_ = framesNow;
  }
  bool on() const { return fd_ >= 0 || tap_ != nullptr; }
  std::uint64_t frames() const { return frames_ + buffer_.size() / 2; }
  // Room for `count` frames after those waiting to be written: took() keeps the first of them
  // (the place may move with the next call of room()).
  std::int16_t* room(std::size_t count) { return buffer_.room(2 * count); }
  void put(const std::int16_t* lr, std::size_t count) {
    std::memcpy(room(count), lr, 4 * count);
    took(count);
  }
  void took(std::size_t count) {
    if (tap_ != nullptr) tap_->frames(buffer_.data() + buffer_.size(), count);
    if (fd_ < 0) {
      frames_ += count;
      return;
    }
    buffer_.grow(2 * count);
    if (buffer_.size() * 2 >= kFlushBytes) flush();
  }
  // `count` frames of silence.
  void putSilence(std::uint64_t count) {
    if (tap_ != nullptr) {
      static const std::int16_t zeros[2 * 256] = {};
      for (std::uint64_t left = count; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(256, left));
        tap_->frames(zeros, n);
        left -= n;
      }
    }
    if (fd_ < 0) {
      frames_ += count;
      return;
    }
    while (fd_ >= 0 && count > 0) {
      const std::size_t free = kFlushBytes / 4 - std::min(buffer_.size() / 2, kFlushBytes / 4);
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, free));
      std::memset(buffer_.room(2 * n), 0, 4 * n);
      buffer_.grow(2 * n);
      count -= n;
      if (buffer_.size() * 2 >= kFlushBytes) flush();
    }
  }
  void flush() {
    if (fd_ < 0 || buffer_.size() == 0) return;
    // WAV samples are little-endian, as this host's are.
    if (!writeAll(fd_, buffer_.data(), buffer_.size() * 2)) {
      std::fprintf(stderr, "shapeplay-sim: writing the %s file failed: %s\n", what_,
                   std::strerror(errno));
      fd_ = -1;
    }
    frames_ += buffer_.size() / 2;
    buffer_.clear();
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  SpeakerTap* tap_ = nullptr;
  const char* what_ = "";
  std::uint64_t frames_ = 0;  // in the file already (without a file: put so far)
  Buffer<std::int16_t> buffer_;
};

// The speaker sink: processed frames resampled onto the fixed 48 kHz timeline.
class Speaker {
 public:
  Sink sink;

  // Silence up to the first output instant at or after `t`.
  void silenceUntil(simk::Time t) {
    const std::uint64_t upTo = outputsBefore(t);
    if (sink.frames() < upTo) sink.putSilence(upTo - sink.frames());
  }
  void start(simk::Time t, std::uint32_t rate) {
    finish();
    silenceUntil(t);
    active_ = true;
    rate_ = rate;
    start_ = static_cast<double>(t) / 1e9;
    in_.clear();
    base_ = 0;
  }
  // Where the codec's path may put the next `count` frames: then add() copies nothing.
  double* room(std::size_t count) { return in_.room(2 * count); }
  void add(const double* lr, std::size_t count) {
    double* end = in_.room(2 * count);
    if (lr != end) std::memcpy(end, lr, count * 2 * sizeof(double));
    in_.grow(2 * count);
    produce(false);
  }
  // The segment ended: outputs up to its last frame, the rest of its span is silence.
  void finish() {
    if (!active_) return;
    produce(true);
    active_ = false;
    in_.clear();
  }
  bool active() const { return active_; }

  static std::uint64_t outputsBefore(simk::Time t) {
    const unsigned __int128 n = static_cast<unsigned __int128>(t) * kSpeakerRate;
    return static_cast<std::uint64_t>((n + simk::kS - 1) / simk::kS);
  }
  // Input position (in frames of the segment) of output frame k.

 private:
  double position(std::uint64_t k) const {
    return (static_cast<double>(k) / kSpeakerRate - start_) * rate_;
  }
  double at(std::int64_t i, int ch, std::int64_t last) const {
    if (i < 0) i = 0;
    if (i > last) i = last;
    return in_.data()[static_cast<std::size_t>(i - base_) * 2 + static_cast<std::size_t>(ch)];
  }
  // The output frames whose input is there, from the next one on; with `ending`, up to the
  // segment's last frame (the frames beyond it taken as the last one).
  void produce(bool ending) {
    if (!sink.on()) return;
    const std::int64_t count = base_ + static_cast<std::int64_t>(in_.size() / 2);
    if (count == 0) return;
    const std::int64_t last = count - 1;
    const auto lastPosition = static_cast<double>(last);
    const double start = start_, rate = rate_;
    const double* frames = in_.data();
    const std::int64_t base = base_;
    const bool nearest = rate_ == kSpeakerRate;
    // Output frame numbers stay far below 2^53: as signed numbers and as doubles counted up
    // they are exact.
    auto k = static_cast<std::int64_t>(sink.frames());
    auto kd = static_cast<double>(k);
    std::size_t n = 0;  // output frames written to the sink's room
#if SHAPEPLAY_WIDE_RESAMPLER
    if (wideVectors()) {
      // Room for every output up to the last frame, and a few more.
      const double p = (kd / kSpeakerRate - start) * rate;
      const double ahead = (lastPosition - p) / rate * kSpeakerRate;
      const std::size_t most = ahead > 0 ? static_cast<std::size_t>(ahead) + 8 : 0;
      std::int16_t* o = sink.room(most);
      n = nearest ? nearestRun(frames, base, last, kd, start, rate, most, o)
                  : cubicRun(frames, base, last, kd, start, rate, most, o);
      k += static_cast<std::int64_t>(n);
      kd += static_cast<double>(n);
    }
#endif
    // In rounds: first where the next outputs lie in the input, then the outputs themselves
    // (two short loops keep more outputs in flight in the processor than one long one).
    constexpr std::size_t kRound = 256;
    std::int64_t index[kRound];
    double fraction[kRound];
    for (;;) {
      std::size_t m = 0;
      for (; m < kRound; ++m, ++k, kd += 1.0) {
        const double p = (kd / kSpeakerRate - start) * rate;
        if (p > lastPosition) break;
        if (nearest) {
          const std::int64_t i = floorOf(p + 0.5);
          if (i > last) break;
          index[m] = i;
          continue;
        }
        // 0 <= p <= last here but for a segment's first output: truncation is the floor.
        const std::int64_t i = p >= 0 ? static_cast<std::int64_t>(p) : floorOf(p);
        if (!ending && i + 2 > last) break;
        index[m] = i;
        fraction[m] = p - static_cast<double>(i);
      }
      std::int16_t* o = sink.room(n + m) + 2 * n;
      // Positions grow with j: the first and the last output tell whether every one has its
      // four input frames in the buffer (all but at a segment's start and end).
      if (!nearest && m > 0 && index[0] - 1 >= base && index[m - 1] + 2 <= last) {
        cubicOutputs(frames, base, index, fraction, m, o);
        n += m;
        if (m < kRound) break;
        continue;
      }
      for (std::size_t j = 0; j < m; ++j, o += 2) {
        const std::int64_t i = index[j];
        if (nearest) {
          toSamples(Pair{at(i, 0, last), at(i, 1, last)}, o);
          continue;
        }
        const double t = fraction[j];
        toSamples(cubic(Pair{at(i - 1, 0, last), at(i - 1, 1, last)},
                        Pair{at(i, 0, last), at(i, 1, last)},
                        Pair{at(i + 1, 0, last), at(i + 1, 1, last)},
                        Pair{at(i + 2, 0, last), at(i + 2, 1, last)}, Pair{t, t}),
                  o);
      }
      n += m;
      if (m < kRound) break;
    }
    sink.took(n);
    // Keep the frames still needed (from one before the next output's position).
    const std::int64_t keepFrom = floorOf(position(static_cast<std::uint64_t>(k))) - 1;
    if (keepFrom > base_ + 4096) {
      const std::int64_t drop = (keepFrom < last ? keepFrom : last) - base_;
      in_.dropFront(static_cast<std::size_t>(drop) * 2);
      base_ += drop;
    }
  }
  // floor(p) as an integer, exactly.
  static std::int64_t floorOf(double p) {
    if (p >= 0 && p < 9.0e18) return static_cast<std::int64_t>(p);  // truncation is the floor
    return static_cast<std::int64_t>(std::floor(p));
  }

  bool active_ = false;
  std::uint32_t rate_ = 0;
  double start_ = 0;
  Buffer<double> in_;  // processed frames of this segment from frame base_ on
  std::int64_t base_ = 0;
};

// The two files as the codec's listener.
class Files : public Listener {
 public:
  void linkStart(simk::Time start, std::uint32_t rate) override {
    if (speaker.sink.on()) speaker.start(start, rate);
    if (capture.on() && captureEmpty) {
      std::uint8_t fields[8];
      rateFields(fields, rate);
      (void)pwriteAll(capture.fd(), fields, sizeof fields, 24);
      captureEmpty = false;
    }
  }
  void sent(const std::int16_t* lr, std::size_t count) override {
    if (capture.on()) capture.put(lr, count);
  }
  bool wantsSpeaker() const override { return speaker.sink.on() && speaker.active(); }
  double* speakerRoom(std::size_t count) override { return speaker.room(count); }
  void played(const double* lr, std::size_t count) override { speaker.add(lr, count); }
  void linkStop() override { speaker.finish(); }
  void finish(simk::Time now) override {
    speaker.finish();
    speaker.silenceUntil(now);
    speaker.sink.flush();
    capture.flush();
  }

  Speaker speaker;
  Sink capture;
  bool captureEmpty = false;  // the capture file holds no frame yet: its header gets the rate
  bool endHook = false;
};

Files& files() {
  static Files f;
  return f;
}

}  // namespace

bool writeWavHeader(int fd, std::uint32_t rate, std::string& error) {
  std::uint8_t h[kHeaderBytes] = {};
  std::copy_n("RIFF", 4, h);
  put32(h + 4, 36);
  std::copy_n("WAVEfmt ", 8, h + 8);
  put32(h + 16, 16);
  put16(h + 20, 1);  // PCM
  put16(h + 22, 2);  // channels
  rateFields(h + 24, rate);
  put16(h + 32, 4);   // bytes a frame
  put16(h + 34, 16);  // bits a sample
  std::copy_n("data", 4, h + 36);
  put32(h + 40, 0);
  if (!pwriteAll(fd, h, sizeof h, 0) || lseek(fd, static_cast<off_t>(kHeaderBytes), SEEK_SET) < 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool finaliseWav(int fd, std::string& error) {
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  // A WAV file cannot describe more than 4 GiB of data: the sizes saturate.
  const std::uint64_t data = st.st_size > static_cast<off_t>(kHeaderBytes)
                                 ? static_cast<std::uint64_t>(st.st_size) - kHeaderBytes
                                 : 0;
  const std::uint64_t limit = 0xFFFFFFFFULL - 36;
  const auto d = static_cast<std::uint32_t>(data > limit ? limit : data);
  std::uint8_t riff[4], size[4];
  put32(riff, d + 36);
  put32(size, d);
  if (!pwriteAll(fd, riff, 4, 4) || !pwriteAll(fd, size, 4, 40)) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

void attachSinks(int wavFd, int captureFd, SpeakerTap* tap) {
  simruntime::HostScope host;
  Files& f = files();
  f.speaker.sink.attach(wavFd, "WAV");
  f.capture.attach(captureFd, "SAI capture");
  f.captureEmpty = captureFd >= 0 && f.capture.frames() == 0;
  if (f.speaker.sink.on()) f.speaker.silenceUntil(simk::now());
  // The tap hears this life from its power-on: what came before is not sound to play now.
  if (tap != nullptr) f.speaker.sink.tapTo(tap, Speaker::outputsBefore(simk::now()));
  addListener(&f);
  if (!f.endHook) {
    f.endHook = true;
    simk::addEndHook([](int) {
      simruntime::HostScope scope;
      bringUpToDate();
    });
  }
}

void catchUp() {
  simruntime::HostScope host;
  Files& f = files();
  if (!f.speaker.sink.on()) return;
  deliverDue();
  if (!f.speaker.active()) f.speaker.silenceUntil(simk::now());
}

}  // namespace simaudio
