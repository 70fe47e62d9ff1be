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
#include "codec_path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "codec.h"
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
// blocks of frames, with the settings and the bands in use taken once a block; each sample goes
// through exactly the arithmetic of the chip's order above.
class Dsp {
 public:
  void invalidate() { stale_ = true; }
  // `count` frames of `in` (left, right interleaved) into `out`.
  void process(const std::int16_t* in, double* out, std::size_t count, std::uint32_t rate) {
    if (stale_ || rate != key_.rate) refresh(rate);
    switch (bands_) {
      case 0: return s_.widen ? run<0, true>(in, out, count) : run<0, false>(in, out, count);
      case 1: return s_.widen ? run<1, true>(in, out, count) : run<1, false>(in, out, count);
      case 2: return s_.widen ? run<2, true>(in, out, count) : run<2, false>(in, out, count);
      case 3: return s_.widen ? run<3, true>(in, out, count) : run<3, false>(in, out, count);
      case 4: return s_.widen ? run<4, true>(in, out, count) : run<4, false>(in, out, count);
      default: return s_.widen ? run<5, true>(in, out, count) : run<5, false>(in, out, count);
    }
  }

 private:
  struct State {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  struct PairState {
    Pair x1, x2, y1, y2;
  };
  static Pair step(const Biquad& q, PairState& st, Pair x) {
    const Pair y = q.b0 * x + q.b1 * st.x1 + q.b2 * st.x2 - q.a1 * st.y1 - q.a2 * st.y2;
    st.x2 = st.x1;
    st.x1 = x;
    st.y2 = st.y1;
    st.y1 = y;
    return y;
  }
  // The path with `N` bands in use. The bands run skewed: in round s band b works on frame
  // s - b, taking what band b - 1 gave in the round before, so that the bands of one round do
  // not wait for each other; each band still takes its frames in order, exactly as one frame
  // after the other through all bands would.
  template <int N, bool Widen>
  void run(const std::int16_t* in, double* out, std::size_t count) {
    Biquad q[std::max(N, 1)];
    PairState st[std::max(N, 1)];
    for (int b = 0; b < N; ++b) {
      q[b] = active_[b];
      const State &l = state_[0][b], &r = state_[1][b];
      st[b] = {Pair{l.x1, r.x1}, Pair{l.x2, r.x2}, Pair{l.y1, r.y1}, Pair{l.y2, r.y2}};
    }
    const bool silentL = s_.softMute || !s_.speakerOn[0];
    const bool silentR = s_.softMute || !s_.speakerOn[1];
    const double gainL = s_.gain[0], gainR = s_.gain[1], sideGain = s_.sideGain;
    auto input = [&](std::size_t i) {
      double l = in[2 * i], r = in[2 * i + 1];
      if (Widen) {
        const double mid = (l + r) / 2, side = (l - r) / 2 * sideGain;
        l = mid + side;
        r = mid - side;
      }
      return Pair{l, r};
    };
    // A muted side gives 0.0: its lane of `heard` has no bit set.
    using Bits = std::int64_t __attribute__((vector_size(16)));
    const Bits heard = {silentL ? 0 : -1, silentR ? 0 : -1};
    const Pair gain = {gainL, gainR};
    auto output = [&](std::size_t i, Pair y) {
      const Pair v = clipPair(clipPair(y) * gain);
      const Pair o = reinterpret_cast<Pair>(reinterpret_cast<Bits>(v) & heard);
      std::memcpy(out + 2 * i, &o, sizeof o);
    };
    if constexpr (N == 0) {
      for (std::size_t i = 0; i < count; ++i) output(i, input(i));
    } else {
      Pair pipe[N] = {};  // pipe[b]: what band b takes in the next round
      const std::size_t rounds = count + N - 1;
      std::size_t s = 0;
      // The first rounds and, after the steady ones, the last: not every band has a frame.
      auto partial = [&](std::size_t round) {
        bandsDown<N - 1, N, true>(q, st, pipe, round, count, input, output);
      };
      for (; s < rounds && s < static_cast<std::size_t>(N - 1); ++s) partial(s);
      for (; s < count; ++s) bandsDown<N - 1, N, false>(q, st, pipe, s, count, input, output);
      for (; s < rounds; ++s) partial(s);
    }
    for (int b = 0; b < N; ++b) {
      state_[0][b] = {st[b].x1[0], st[b].x2[0], st[b].y1[0], st[b].y2[0]};
      state_[1][b] = {st[b].x1[1], st[b].x2[1], st[b].y1[1], st[b].y2[1]};
    }
  }
  // One round, band B and those below it (the higher band first: it takes the value the lower
  // one gave in the round before, before the lower one gives its next). Checked: the round is
  // one of the first or the last, where some bands have no frame.
  template <int B, int N, bool Checked, typename In, typename Out>
  static void bandsDown(const Biquad* q, PairState* st, Pair* pipe, std::size_t round,
                        std::size_t count, In& input, Out& output) {
    if constexpr (B >= 0) {
      const bool has = !Checked || (round >= static_cast<std::size_t>(B) && round - B < count);
      if (has) {
        const std::size_t frame = round - B;
        const Pair y = step(q[B], st[B], B == 0 ? input(frame) : pipe[B]);
        if constexpr (B == N - 1) {
          output(frame, y);
        } else {
          pipe[B + 1] = y;
        }
      }
      bandsDown<B - 1, N, Checked>(q, st, pipe, round, count, input, output);
    }
  }
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
    bool speaker = false;
    for (Listener* l : listeners) {
      l->sent(lr, count);
      speaker = speaker || l->wantsSpeaker();
    }
    if (!speaker) return;
    signal.resize(2 * count);
    dsp.process(lr, signal.data(), count, rate);
    for (Listener* l : listeners) {
      if (l->wantsSpeaker()) l->played(signal.data(), count);
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

void processBlockForTest(std::int16_t* lr, std::size_t count, std::uint32_t rate) {
  std::vector<double> out(2 * count);
  playback().testBlockDsp.process(lr, out.data(), count, rate);
  for (std::size_t i = 0; i < 2 * count; ++i) lr[i] = toSample(out[i]);
}

std::uint64_t framesSentTotal() { return playback().sent; }

}  // namespace simaudio
