// The WM8994's playback path from the SAI to the speaker, and the audio sinks.
//
// What the path does to the frames the SAI sends (16-bit stereo, at the link's rate), in the
// order of the chip's digital path, with the registers the firmware writes:
//   1. 3D (0x0421: enable bit 8, depth bits 13..9): the chip's 3D processing is not described
//      in the sources we have; the model widens the stereo image: the side signal (L - R) / 2
//      is raised by 1 + depth / 31 (0 dB at depth 0, +6 dB at 31) and the mid signal kept.
//   2. Equaliser (0x0480 bit 0 enables; gains g1 bits 15..11, g2 10..6, g3 5..1 of 0x0480, g4
//      15..11 and g5 10..6 of 0x0481; code 12 = 0 dB, 1 dB a step, codes above 24 count as
//      24): five biquads at the link's rate (audio EQ cookbook forms): a low shelf at 100 Hz
//      (the chip's default coefficients fit that), peaks of Q 1 at 300 Hz, 875 Hz and 2.4 kHz,
//      and a high shelf at 6.9 kHz (those four frequencies are our choice; the sources do not
//      confirm them). A band at 0 dB is left out, so a flat equaliser changes no sample.
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
// Sinks:
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
// simulator finalises the headers when the run ends. Without sinks nothing is processed.
#include "audio_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec.h"
#include "runtime_heap.h"

namespace simaudio {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kFlushBytes = 1 << 16;

double clip16(double v) { return v > 32767.0 ? 32767.0 : (v < -32768.0 ? -32768.0 : v); }

std::int16_t toSample(double v) { return static_cast<std::int16_t>(std::lround(clip16(v))); }

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

// One instance of the digital path: the cached settings and the filters' state.
class Dsp {
 public:
  void invalidate() { stale_ = true; }
  void process(double& l, double& r, std::uint32_t rate) {
    if (stale_ || rate != key_.rate) refresh(rate);
    if (s_.widen) {
      const double mid = (l + r) / 2, side = (l - r) / 2 * s_.sideGain;
      l = mid + side;
      r = mid - side;
    }
    double* ch[2] = {&l, &r};
    for (int c = 0; c < 2; ++c) {
      double x = *ch[c];
      for (int b = 0; b < 5; ++b) {
        const Biquad& q = s_.eq[b];
        if (!q.active) continue;
        State& st = state_[c][b];
        const double y = q.b0 * x + q.b1 * st.x1 + q.b2 * st.x2 - q.a1 * st.y1 - q.a2 * st.y2;
        st.x2 = st.x1;
        st.x1 = x;
        st.y2 = st.y1;
        st.y1 = y;
        x = y;
      }
      x = clip16(x);
      x = s_.softMute || !s_.speakerOn[c] ? 0.0 : x * s_.gain[c];
      *ch[c] = clip16(x);
    }
  }

 private:
  struct State {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  void refresh(std::uint32_t rate) {
    Key k;
    for (int i = 0; i < 8; ++i) k.regs[i] = simcodec::reg(kKeyRegs[i]);
    k.rate = rate;
    stale_ = false;
    if (k == key_) return;
    key_ = k;
    s_ = settingsFor(k);
  }
  bool stale_ = true;
  Key key_;
  Settings s_;
  State state_[2][5];
};

// ---- sinks

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

// A file the board appends 16-bit stereo frames to.
class Sink {
 public:
  void attach(int fd, const char* what) {
    fd_ = fd;
    what_ = what;
    buffer_.clear();
    struct stat st {};
    frames_ = fd >= 0 && fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(kHeaderBytes)
                  ? static_cast<std::uint64_t>(st.st_size - kHeaderBytes) / 4
                  : 0;
  }
  bool on() const { return fd_ >= 0; }
  std::uint64_t frames() const { return frames_ + buffer_.size() / 2; }
  void put(std::int16_t l, std::int16_t r) {
    buffer_.push_back(l);
    buffer_.push_back(r);
    if (buffer_.size() * 2 >= kFlushBytes) flush();
  }
  void put(const std::int16_t* lr, std::size_t count) {
    buffer_.insert(buffer_.end(), lr, lr + 2 * count);
    if (buffer_.size() * 2 >= kFlushBytes) flush();
  }
  void flush() {
    if (fd_ < 0 || buffer_.empty()) return;
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
  const char* what_ = "";
  std::uint64_t frames_ = 0;  // in the file already
  std::vector<std::int16_t> buffer_;
};

// The speaker sink: processed frames resampled onto the fixed 48 kHz timeline.
class Speaker {
 public:
  Sink sink;

  // Silence up to the first output instant at or after `t`.
  void silenceUntil(simk::Time t) {
    const std::uint64_t upTo = outputsBefore(t);
    const std::int16_t zero[2] = {0, 0};
    while (sink.frames() < upTo) sink.put(zero, 1);
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
  void add(double l, double r) {
    in_.push_back(l);
    in_.push_back(r);
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

 private:
  static std::uint64_t outputsBefore(simk::Time t) {
    const unsigned __int128 n = static_cast<unsigned __int128>(t) * kSpeakerRate;
    return static_cast<std::uint64_t>((n + simk::kS - 1) / simk::kS);
  }
  // Input position (in frames of the segment) of output frame k.
  double position(std::uint64_t k) const {
    return (static_cast<double>(k) / kSpeakerRate - start_) * rate_;
  }
  double at(std::int64_t i, int ch, std::int64_t last) const {
    if (i < 0) i = 0;
    if (i > last) i = last;
    return in_[static_cast<std::size_t>(i - base_) * 2 + static_cast<std::size_t>(ch)];
  }
  void produce(bool ending) {
    const std::int64_t count = base_ + static_cast<std::int64_t>(in_.size() / 2);
    if (count == 0) return;
    const std::int64_t last = count - 1;
    for (;;) {
      const std::uint64_t k = sink.frames();
      const double p = position(k);
      if (p > static_cast<double>(last)) break;
      double out[2];
      if (rate_ == kSpeakerRate) {
        const auto i = static_cast<std::int64_t>(std::floor(p + 0.5));
        if (i > last) break;
        out[0] = at(i, 0, last);
        out[1] = at(i, 1, last);
      } else {
        const auto i = static_cast<std::int64_t>(std::floor(p));
        if (!ending && i + 2 > last) break;
        const double t = p - static_cast<double>(i);
        for (int ch = 0; ch < 2; ++ch) {
          const double y0 = at(i - 1, ch, last), y1 = at(i, ch, last), y2 = at(i + 1, ch, last),
                       y3 = at(i + 2, ch, last);
          out[ch] = y1 + 0.5 * t *
                             (y2 - y0 +
                              t * (2 * y0 - 5 * y1 + 4 * y2 - y3 + t * (3 * (y1 - y2) + y3 - y0)));
        }
      }
      sink.put(toSample(out[0]), toSample(out[1]));
    }
    // Keep the frames still needed (from one before the next output's position).
    const std::int64_t keepFrom =
        static_cast<std::int64_t>(std::floor(position(sink.frames()))) - 1;
    if (keepFrom > base_ + 4096) {
      const std::int64_t drop = (keepFrom < last ? keepFrom : last) - base_;
      in_.erase(in_.begin(), in_.begin() + drop * 2);
      base_ += drop;
    }
  }

  bool active_ = false;
  std::uint32_t rate_ = 0;
  double start_ = 0;
  std::vector<double> in_;  // processed frames of this segment from frame base_ on
  std::int64_t base_ = 0;
};

struct Path {
  std::function<void()> catchUp;
  Dsp dsp;
  Dsp testDsp;
  Speaker speaker;
  Sink capture;
  bool captureEmpty = false;  // the capture file holds no frame yet: its header gets the rate
  bool linked = false;
  std::uint32_t rate = 0;
  std::uint64_t sent = 0;
  bool endHook = false;
};

Path& path() {
  static Path p;
  return p;
}

// The codec's register writes reach the path from the start.
[[maybe_unused]] const bool kListening = (simcodec::setBeforeWrite(&codecWillChange), true);

void bringUpToDate(Path& p) {
  if (p.catchUp) p.catchUp();
  p.speaker.finish();
  p.speaker.silenceUntil(simk::now());
  p.speaker.sink.flush();
  p.capture.flush();
}

}  // namespace

void linkStart(simk::Time start, std::uint32_t rate) {
  simruntime::HostScope host;
  Path& p = path();
  p.linked = true;
  p.rate = rate;
  if (p.speaker.sink.on()) p.speaker.start(start, rate);
  if (p.capture.on() && p.captureEmpty) {
    std::uint8_t fields[8];
    rateFields(fields, rate);
    (void)pwriteAll(p.capture.fd(), fields, sizeof fields, 24);
    p.captureEmpty = false;
  }
}

void framesSent(const std::int16_t* frames, std::size_t count) {
  simruntime::HostScope host;
  Path& p = path();
  p.sent += count;
  if (p.capture.on()) p.capture.put(frames, count);
  if (!p.speaker.sink.on() || !p.speaker.active()) return;
  for (std::size_t i = 0; i < count; ++i) {
    double l = frames[2 * i], r = frames[2 * i + 1];
    p.dsp.process(l, r, p.rate);
    p.speaker.add(l, r);
  }
}

void linkStop() {
  simruntime::HostScope host;
  Path& p = path();
  p.linked = false;
  p.speaker.finish();
}

void setCatchUp(std::function<void()> catchUp) { path().catchUp = std::move(catchUp); }

void codecWillChange() {
  Path& p = path();
  if (p.catchUp && p.linked) p.catchUp();
  p.dsp.invalidate();
  p.testDsp.invalidate();
}

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

void attachSinks(int wavFd, int captureFd) {
  simruntime::HostScope host;
  Path& p = path();
  p.speaker.sink.attach(wavFd, "WAV");
  p.capture.attach(captureFd, "SAI capture");
  p.captureEmpty = captureFd >= 0 && p.capture.frames() == 0;
  if (p.speaker.sink.on()) p.speaker.silenceUntil(simk::now());
  if (!p.endHook) {
    p.endHook = true;
    simk::addEndHook([](int) {
      simruntime::HostScope scope;
      bringUpToDate(path());
    });
  }
}

void processForTest(std::int16_t& left, std::int16_t& right, std::uint32_t rate) {
  double l = left, r = right;
  path().testDsp.process(l, r, rate);
  left = toSample(l);
  right = toSample(r);
}

std::uint64_t framesSentTotal() { return path().sent; }

}  // namespace simaudio
