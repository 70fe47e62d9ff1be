// The WM8994's playback path from its audio interface to the speaker.
//
// What the path does to the frames the SAI sends (16-bit stereo, at the link's rate), in the
// order of the chip's digital path, with the registers the firmware writes:
//   1. 3D (0x0421: enable bit 8, depth bits 13..9): the model widens the stereo image (the
//      chip's own 3D processing is not modelled): the side signal (L - R) / 2 is raised by
//      1 + depth / 31 (0 dB at depth 0, +6 dB at 31) and the mid signal kept.
//   2. Equaliser (0x0480 bit 0 enables; gains g1 bits 15..11, g2 10..6, g3 5..1 of 0x0480, g4
//      15..11 and g5 10..6 of 0x0481; code 12 = 0 dB, 1 dB a step, codes above 24 count as
//      24): five biquads at the link's rate (audio EQ cookbook forms): a low shelf at 100 Hz
//      (the chip's default coefficients fit that), peaks of Q 1 at 300 Hz, 875 Hz and 2.4 kHz,
//      and a high shelf at 6.9 kHz (those four frequencies are this model's choice). A band at
//      0 dB is left out, so a flat equaliser changes no sample.
//   3. The DAC's full scale: the result is clipped to 16 bits.
//   4. Soft mute (0x0420 bit 9): silence.
//   5. Speaker volume (0x0026 left, 0x0027 right: bit 6 un-mutes, level bits 5..0 at
//      -57 dB + 1 dB a code; a new level is taken at once, as the firmware always writes it
//      with the update bit), speaker boost (0x0025: left bits 5..3, right 2..0; 1.5 dB a code
//      for codes 0..6, +12 dB for 7), and the speaker outputs' enables (0x0001 bits 12 left,
//      13 right; off after a reset): the speaker's signal, clipped again to 16 bits.
// Other registers (clocks, routing, the headphone output) are kept in the register file and
// not interpreted. The soft mute takes effect at once (no ramp).
//
// The frames as sent and the speaker's signal go to the listeners (the simulator's audio
// files); without a listener that wants the speaker, nothing is processed.

// The processor's vector intrinsics come before the chip's headers, whose register macros
// would clash with names inside them.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SHAPEPLAY_WIDE_EQ 1
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "codec.h"
#include "codec_path.h"
#include "runtime_heap.h"
#include "simsai.h"

namespace simaudio {
namespace {

constexpr double kPi = 3.14159265358979323846;

double clip16(double v) { return v > 32767.0 ? 32767.0 : (v < -32768.0 ? -32768.0 : v); }

std::int16_t toSample(double v) { return static_cast<std::int16_t>(std::lround(clip16(v))); }

// Left and right side by side: every operation is done on each of the two exactly as on a
// single value, in the same order.
using Pair = double __attribute__((vector_size(16)));

// clip16 of both values (a NaN passes, as through clip16).
inline Pair clipPair(Pair v) {
#if defined(__SSE2__)
  // The processor's max and min give their second operand when either is a NaN.
  return __builtin_ia32_minpd(Pair{32767.0, 32767.0},
                              __builtin_ia32_maxpd(Pair{-32768.0, -32768.0}, v));
#else
  return Pair{clip16(v[0]), clip16(v[1])};
#endif
}

// A muted side of the speaker gives 0.0: its lane has no bit set.
using Bits = std::int64_t __attribute__((vector_size(16)));

bool wideAllowed = true;  // the test backdoor's switch

// ---- the codec's digital path

struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  bool active = false;
};

struct Settings {
  bool speakerOn[2] = {false, false};
  bool softMute = true;
  double gain[2] = {0, 0};
  bool widen = false;
  double sideGain = 1;
  std::array<Biquad, 5> eq;
};

// The registers that shaped the cached settings: a change of any of them (or of the rate)
// recomputes them.
struct Key {
  std::array<std::uint16_t, 8> regs{};
  std::uint32_t rate = 0;
  bool operator==(const Key&) const = default;
};

constexpr std::uint16_t kKeyRegs[8] = {0x0001, 0x0025, 0x0026, 0x0027,
                                       0x0420, 0x0421, 0x0480, 0x0481};

Biquad shelf(bool high, double f0, double db, double fs) {
  Biquad q;
  if (db == 0) return q;
  const double a = std::pow(10.0, db / 40.0);
  const double w0 = 2 * kPi * f0 / fs;
  const double c = std::cos(w0);
  const double alpha = std::sin(w0) / 2 * std::sqrt(2.0);  // shelf slope 1
  const double s = 2 * std::sqrt(a) * alpha;
  double b0, b1, b2, a0, a1, a2;
  if (!high) {
    b0 = a * ((a + 1) - (a - 1) * c + s);
    b1 = 2 * a * ((a - 1) - (a + 1) * c);
    b2 = a * ((a + 1) - (a - 1) * c - s);
    a0 = (a + 1) + (a - 1) * c + s;
    a1 = -2 * ((a - 1) + (a + 1) * c);
    a2 = (a + 1) + (a - 1) * c - s;
  } else {
    b0 = a * ((a + 1) + (a - 1) * c + s);
    b1 = -2 * a * ((a - 1) + (a + 1) * c);
    b2 = a * ((a + 1) + (a - 1) * c - s);
    a0 = (a + 1) - (a - 1) * c + s;
    a1 = 2 * ((a - 1) - (a + 1) * c);
    a2 = (a + 1) - (a - 1) * c - s;
  }
  q = {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0, true};
  return q;
}

Biquad peak(double f0, double db, double fs) {
  Biquad q;
  if (db == 0) return q;
  const double a = std::pow(10.0, db / 40.0);
  const double w0 = 2 * kPi * f0 / fs;
  const double alpha = std::sin(w0) / 2;  // Q 1
  const double a0 = 1 + alpha / a;
  q = {(1 + alpha * a) / a0,   -2 * std::cos(w0) / a0, (1 - alpha * a) / a0,
       -2 * std::cos(w0) / a0, (1 - alpha / a) / a0,   true};
  return q;
}

double boostDb(unsigned code) { return code >= 7 ? 12.0 : 1.5 * code; }

Settings settingsFor(const Key& k) {
  Settings s;
  const std::uint16_t power = k.regs[0], boost = k.regs[1], dac1 = k.regs[4], d3 = k.regs[5],
                      eq1 = k.regs[6], eq2 = k.regs[7];
  s.speakerOn[0] = (power & (1U << 12)) != 0;
  s.speakerOn[1] = (power & (1U << 13)) != 0;
  s.softMute = (dac1 & (1U << 9)) != 0;
  for (int ch = 0; ch < 2; ++ch) {
    const std::uint16_t vol = k.regs[2 + ch];
    const unsigned boostCode = ch == 0 ? (boost >> 3) & 7U : boost & 7U;
    const bool on = (vol & (1U << 6)) != 0;
    const double db = static_cast<double>(vol & 0x3F) - 57.0 + boostDb(boostCode);
    s.gain[ch] = on ? std::pow(10.0, db / 20.0) : 0.0;
  }
  const unsigned depth = (d3 >> 9) & 0x1F;
  s.widen = (d3 & (1U << 8)) != 0 && depth != 0;
  s.sideGain = 1.0 + depth / 31.0;
  if ((eq1 & 1U) != 0 && k.rate != 0) {
    const unsigned codes[5] = {(eq1 >> 11) & 0x1FU, (eq1 >> 6) & 0x1FU, (eq1 >> 1) & 0x1FU,
                               (eq2 >> 11) & 0x1FU, (eq2 >> 6) & 0x1FU};
    const double fs = k.rate;
    const double top = 0.45 * fs;  // a band above the link's range sits just below it
    auto at = [top](double f) { return f < top ? f : top; };
    double db[5];
    for (int b = 0; b < 5; ++b) db[b] = static_cast<double>(codes[b] > 24 ? 24 : codes[b]) - 12.0;
    s.eq[0] = shelf(false, at(100), db[0], fs);
    s.eq[1] = peak(at(300), db[1], fs);
    s.eq[2] = peak(at(875), db[2], fs);
    s.eq[3] = peak(at(2400), db[3], fs);
    s.eq[4] = shelf(true, at(6900), db[4], fs);
  }
  return s;
}

// One instance of the digital path: the cached settings and the filters' state. It works on
// blocks of frames, with the settings and the bands in use taken once a block, in three passes
// over the block (the 3D effect, the bands, then clipping and the speaker's gain); each sample
// goes through exactly the arithmetic of the chip's order above.
class Dsp {
 public:
  void invalidate() { stale_ = true; }
  // `count` frames of `in` (left, right interleaved) into `out`.
  void process(const std::int16_t* in, double* out, std::size_t count, std::uint32_t rate) {
    if (stale_ || rate != key_.rate) refresh(rate);
    const bool silentL = s_.softMute || !s_.speakerOn[0];
    const bool silentR = s_.softMute || !s_.speakerOn[1];
    const Shape shape{s_.sideGain, Pair{s_.gain[0], s_.gain[1]},
                      Bits{silentL ? 0 : -1, silentR ? 0 : -1}};
    if (s_.widen) {
      prepare<true>(in, out, count, shape.sideGain);
    } else {
      prepare<false>(in, out, count, shape.sideGain);
    }
    switch (bands_) {
      case 0: break;
      case 1: bands<1>(out, count); break;
      case 2: bands<2>(out, count); break;
      case 3: bands<3>(out, count); break;
      case 4: bands<4>(out, count); break;
      default: bands<5>(out, count); break;
    }
    finish(out, count, shape);
  }

 private:
  struct State {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  struct PairState {
    Pair x1, x2, y1, y2;
  };
  // What the path does besides the bands: the 3D effect's side gain, then the speaker's gain
  // and the sides heard.
  struct Shape {
    double sideGain;
    Pair gain;
    Bits heard;
  };
  static Pair load(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
  static Pair step(const Biquad& q, PairState& st, Pair x) {
    const Pair y = q.b0 * x + q.b1 * st.x1 + q.b2 * st.x2 - q.a1 * st.y1 - q.a2 * st.y2;
    st.x2 = st.x1;
    st.x1 = x;
    st.y2 = st.y1;
    st.y1 = y;
    return y;
  }

  // The frames as doubles after the 3D effect.
  template <bool Widen>
  static void prepare(const std::int16_t* in, double* out, std::size_t count, double sideGain) {
    std::size_t i = 0;
#if SHAPEPLAY_WIDE_EQ
    if (wideVectors()) i = prepareWide<Widen>(in, out, count, sideGain);
#endif
    for (; i < count; ++i) {
      double l = in[2 * i], r = in[2 * i + 1];
      if (Widen) {
        const double mid = (l + r) / 2, side = (l - r) / 2 * sideGain;
        l = mid + side;
        r = mid - side;
      }
      store(out + 2 * i, Pair{l, r});
    }
  }
  // The bands' result, in place: clipped, the speaker's gain, clipped again, the muted sides
  // silenced.
  static void finish(double* io, std::size_t count, const Shape& shape) {
    std::size_t i = 0;
#if SHAPEPLAY_WIDE_EQ
    if (wideVectors()) i = finishWide(io, count, shape);
#endif
    for (; i < count; ++i) {
      const Pair v = clipPair(clipPair(load(io + 2 * i)) * shape.gain);
      store(io + 2 * i, reinterpret_cast<Pair>(reinterpret_cast<Bits>(v) & shape.heard));
    }
  }

  // `N` bands in use, in place. The bands run skewed: in round s band b works on frame s - 2b,
  // taking the result band b - 1 gave two rounds before (its y2), so that neither the bands of
  // one round nor two neighbouring bands of the next wait for each other; each band still
  // takes its frames in order, exactly as one frame after the other through all bands would.
  // The last band's result for a frame replaces the frame, whose input band 0 took long before.
  template <int N>
  void bands(double* io, std::size_t count) {
    Biquad q[N];
    PairState st[N];
    for (int b = 0; b < N; ++b) {
      q[b] = active_[b];
      const State &l = state_[0][b], &r = state_[1][b];
      st[b] = {Pair{l.x1, r.x1}, Pair{l.x2, r.x2}, Pair{l.y1, r.y1}, Pair{l.y2, r.y2}};
    }
    constexpr std::size_t kSkew = 2 * (N - 1);  // the last band's lag
    const std::size_t rounds = count + kSkew;
    std::size_t s = 0;
    // The first rounds and, after the steady ones, the last: not every band has a frame.
    for (; s < rounds && s < kSkew; ++s) bandsDown<N - 1, N, true>(q, st, s, count, io);
#if SHAPEPLAY_WIDE_EQ
    if constexpr (N >= 2) {
      if (s < count && wideVectors()) s = steadyWide<N>(q, st, s, count, io);
    }
#endif
    for (; s < count; ++s) bandsDown<N - 1, N, false>(q, st, s, count, io);
    for (; s < rounds; ++s) bandsDown<N - 1, N, true>(q, st, s, count, io);
    for (int b = 0; b < N; ++b) {
      state_[0][b] = {st[b].x1[0], st[b].x2[0], st[b].y1[0], st[b].y2[0]};
      state_[1][b] = {st[b].x1[1], st[b].x2[1], st[b].y1[1], st[b].y2[1]};
    }
  }
  // One round, band B and those below it (the higher band first: it takes a result of the
  // lower one before the lower one gives its next). Checked: the round is one of the first or
  // the last, where some bands have no frame, and where the band below may have had no frame
  // in the round before (then its latest result, y1, is the one to take).
  template <int B, int N, bool Checked>
  static void bandsDown(const Biquad* q, PairState* st, std::size_t round, std::size_t count,
                        double* io) {
    if constexpr (B >= 0) {
      constexpr std::size_t kLag = 2 * static_cast<std::size_t>(B);
      const bool has = !Checked || (round >= kLag && round - kLag < count);
      if (has) {
        const std::size_t frame = round - kLag;
        Pair x;
        if constexpr (B == 0) {
          x = load(io + 2 * frame);
        } else {
          x = !Checked || frame + 1 < count ? st[B - 1].y2 : st[B - 1].y1;
        }
        const Pair y = step(q[B], st[B], x);
        if constexpr (B == N - 1) store(io + 2 * frame, y);
      }
      bandsDown<B - 1, N, Checked>(q, st, round, count, io);
    }
  }

#if SHAPEPLAY_WIDE_EQ
  // The same with AVX, two frames a 256-bit vector or two bands of one frame. Every value gets
  // exactly the operations, in the order, that the code above gives it: no contraction into
  // fused multiply-adds (these functions may use AVX only). Each returns how far it got.
  using Quad = __m256d;
  __attribute__((target("avx"), always_inline)) static Quad both(double lo, double hi) {
    return _mm256_set_pd(hi, hi, lo, lo);
  }
  __attribute__((target("avx"), always_inline)) static Quad join(Pair lo, Pair hi) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
  }

  template <bool Widen>
  __attribute__((target("avx"))) static std::size_t prepareWide(const std::int16_t* in, double* out,
                                                                std::size_t count,
                                                                double sideGain) {
    const Quad half = _mm256_set1_pd(0.5);  // x * 0.5 is x / 2 exactly
    const Quad gain = _mm256_set1_pd(sideGain);
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
      Quad v = _mm256_cvtepi32_pd(
          _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 2 * i))));
      if (Widen) {
        // Per frame l, r: mid (l + r) / 2 in both lanes, side (l - r) / 2 * sideGain in the
        // left lane and its negation (r - l) / 2 * sideGain in the right one (rounding is
        // symmetric), so that mid + side gives mid + side and mid - side.
        const Quad swapped = _mm256_permute_pd(v, 0b0101);
        const Quad mid = _mm256_mul_pd(_mm256_add_pd(v, swapped), half);
        const Quad side = _mm256_mul_pd(_mm256_mul_pd(_mm256_sub_pd(v, swapped), half), gain);
        v = _mm256_add_pd(mid, side);
      }
      _mm256_storeu_pd(out + 2 * i, v);
    }
    return i;
  }

  __attribute__((target("avx"))) static std::size_t finishWide(double* io, std::size_t count,
                                                               const Shape& shape) {
    const Quad top = _mm256_set1_pd(32767.0), bottom = _mm256_set1_pd(-32768.0);
    const Quad gain = join(shape.gain, shape.gain);
    const Quad heard = _mm256_castsi256_pd(
        _mm256_set_epi64x(shape.heard[1], shape.heard[0], shape.heard[1], shape.heard[0]));
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
      // As clipPair: the second operand of max and min is taken when either is a NaN.
      const Quad y = _mm256_loadu_pd(io + 2 * i);
      const Quad v = _mm256_min_pd(
          top,
          _mm256_max_pd(bottom, _mm256_mul_pd(_mm256_min_pd(top, _mm256_max_pd(bottom, y)), gain)));
      _mm256_storeu_pd(io + 2 * i, _mm256_and_pd(v, heard));
    }
    return i;
  }

  // The steady rounds from `from` up to `count`: bands 2k and 2k + 1 share a vector (band 2k's
  // left and right in the low half); an odd last band shares its vector with a band that does
  // nothing (all its coefficients 0).
  template <int N>
  __attribute__((target("avx"))) static std::size_t steadyWide(const Biquad* q, PairState* st,
                                                               std::size_t from, std::size_t count,
                                                               double* io) {
    constexpr int kQuads = (N + 1) / 2;
    const Biquad none{0, 0, 0, 0, 0, false};
    const PairState still{};
    auto bandQ = [&](int b) -> const Biquad& { return b < N ? q[b] : none; };
    auto bandSt = [&](int b) -> const PairState& { return b < N ? st[b] : still; };
    Quad b0[kQuads], b1[kQuads], b2[kQuads], a1[kQuads], a2[kQuads];
    Quad x1[kQuads], x2[kQuads], y1[kQuads], y2[kQuads];
#pragma GCC unroll 4
    for (int k = 0; k < kQuads; ++k) {
      const Biquad &lo = bandQ(2 * k), &hi = bandQ(2 * k + 1);
      b0[k] = both(lo.b0, hi.b0);
      b1[k] = both(lo.b1, hi.b1);
      b2[k] = both(lo.b2, hi.b2);
      a1[k] = both(lo.a1, hi.a1);
      a2[k] = both(lo.a2, hi.a2);
      const PairState &l = bandSt(2 * k), &h = bandSt(2 * k + 1);
      x1[k] = join(l.x1, h.x1);
      x2[k] = join(l.x2, h.x2);
      y1[k] = join(l.y1, h.y1);
      y2[k] = join(l.y2, h.y2);
    }
    for (std::size_t s = from; s < count; ++s) {
      // Each band's input: band 0 the new frame, every other band the result the band below
      // it gave two rounds before. The higher vectors first: each takes its input from the one
      // below before that one moves on.
#pragma GCC unroll 4
      for (int k = kQuads - 1; k >= 0; --k) {
        const Quad x =
            k == 0 ? _mm256_permute2f128_pd(_mm256_castpd128_pd256(load(io + 2 * s)), y2[0], 0x20)
                   : _mm256_permute2f128_pd(y2[k > 0 ? k - 1 : 0], y2[k], 0x21);
        const Quad y = _mm256_sub_pd(
            _mm256_sub_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(b0[k], x), _mm256_mul_pd(b1[k], x1[k])),
                              _mm256_mul_pd(b2[k], x2[k])),
                _mm256_mul_pd(a1[k], y1[k])),
            _mm256_mul_pd(a2[k], y2[k]));
        x2[k] = x1[k];
        x1[k] = x;
        y2[k] = y1[k];
        y1[k] = y;
      }
      double* frame = io + 2 * (s - 2 * (N - 1));
      if constexpr (N % 2 != 0) {
        store(frame, _mm256_castpd256_pd128(y1[kQuads - 1]));
      } else {
        store(frame, _mm256_extractf128_pd(y1[kQuads - 1], 1));
      }
    }
#pragma GCC unroll 4
    for (int k = 0; k < kQuads; ++k) {
      st[2 * k] = {_mm256_castpd256_pd128(x1[k]), _mm256_castpd256_pd128(x2[k]),
                   _mm256_castpd256_pd128(y1[k]), _mm256_castpd256_pd128(y2[k])};
      if (2 * k + 1 < N) {
        st[2 * k + 1] = {_mm256_extractf128_pd(x1[k], 1), _mm256_extractf128_pd(x2[k], 1),
                         _mm256_extractf128_pd(y1[k], 1), _mm256_extractf128_pd(y2[k], 1)};
      }
    }
    return count;
  }
#endif

  void refresh(std::uint32_t rate) {
    Key k;
    for (int i = 0; i < 8; ++i) k.regs[i] = simcodec::reg(kKeyRegs[i]);
    k.rate = rate;
    stale_ = false;
    if (k == key_) return;
    key_ = k;
    s_ = settingsFor(k);
    // The filter state of the bands in use goes back to their bands (a band out of use keeps
    // its state until it is in use again); then the bands now in use, in order, take theirs.
    for (int c = 0; c < 2; ++c) {
      for (int b = 0; b < bands_; ++b) bandState_[c][band_[b]] = state_[c][b];
    }
    bands_ = 0;
    for (int b = 0; b < 5; ++b) {
      if (!s_.eq[b].active) continue;
      active_[bands_] = s_.eq[b];
      state_[0][bands_] = bandState_[0][b];
      state_[1][bands_] = bandState_[1][b];
      band_[bands_++] = b;
    }
  }

  bool stale_ = true;
  Key key_;
  Settings s_;
  int bands_ = 0;          // bands in use
  Biquad active_[5];       // their filters
  int band_[5] = {};       // which band each is
  State state_[2][5];      // their state while in use
  State bandState_[2][5];  // every band's state (a band not in use keeps what it had)
};

// The frames of the SAI through the codec to the listeners.
class Playback : public simhal::SaiReceiver {
 public:
  void linkStart(simk::Time start, std::uint32_t rate) override {
    simruntime::HostScope host;
    linked = true;
    this->rate = rate;
    for (Listener* l : listeners) l->linkStart(start, rate);
  }
  void frames(const std::int16_t* lr, std::size_t count) override {
    simruntime::HostScope host;
    sent += count;
    Listener* first = nullptr;  // the first listener that wants the speaker's signal
    for (Listener* l : listeners) {
      l->sent(lr, count);
      if (first == nullptr && l->wantsSpeaker()) first = l;
    }
    if (first == nullptr) return;
    double* out = first->speakerRoom(count);
    if (out == nullptr) {
      signal.resize(2 * count);
      out = signal.data();
    }
    dsp.process(lr, out, count, rate);
    for (Listener* l : listeners) {
      if (l->wantsSpeaker()) l->played(out, count);
    }
  }
  void linkStop() override {
    simruntime::HostScope host;
    linked = false;
    for (Listener* l : listeners) l->linkStop();
  }

  const SAI_Block_TypeDef* block = nullptr;
  std::vector<Listener*> listeners;
  Dsp dsp;
  Dsp testDsp;
  Dsp testBlockDsp;
  std::vector<double> signal;  // the speaker's signal of the frames being delivered
  bool linked = false;
  std::uint32_t rate = 0;
  std::uint64_t sent = 0;
};

Playback& playback() {
  static Playback p;
  return p;
}

}  // namespace

bool wideVectors() {
#if SHAPEPLAY_WIDE_EQ
  static const bool has = __builtin_cpu_supports("avx");  // the processor and the system
  return has && wideAllowed;
#else
  return false;
#endif
}

void useWideVectors(bool allowed) { wideAllowed = allowed; }

void addListener(Listener* listener) {
  simruntime::HostScope host;
  auto& all = playback().listeners;
  if (std::find(all.begin(), all.end(), listener) == all.end()) all.push_back(listener);
}

void bringUpToDate() {
  Playback& p = playback();
  if (p.block != nullptr) simhal::saiCatchUp(p.block);
  for (Listener* l : p.listeners) l->finish(simk::now());
}

void deliverDue() {
  Playback& p = playback();
  if (p.linked && p.block != nullptr) simhal::saiCatchUp(p.block);
}

void connectPlayback(const SAI_Block_TypeDef* block) {
  playback().block = block;
  simhal::attachSaiReceiver(block, &playback());
}

void codecWillChange() {
  Playback& p = playback();
  if (p.linked && p.block != nullptr) simhal::saiCatchUp(p.block);
  p.dsp.invalidate();
  p.testDsp.invalidate();
  p.testBlockDsp.invalidate();
}

void processForTest(std::int16_t& left, std::int16_t& right, std::uint32_t rate) {
  const std::int16_t in[2] = {left, right};
  double out[2];
  playback().testDsp.process(in, out, 1, rate);
  left = toSample(out[0]);
  right = toSample(out[1]);
}

void processBlockForTest(const std::int16_t* lr, double* out, std::size_t count, std::uint32_t rate,
                         bool oneByOne) {
  Playback& p = playback();
  if (!oneByOne) return p.testBlockDsp.process(lr, out, count, rate);
  for (std::size_t i = 0; i < count; ++i) p.testDsp.process(lr + 2 * i, out + 2 * i, 1, rate);
}

std::uint64_t framesSentTotal() { return playback().sent; }

}  // namespace simaudio
