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
#include "audio_sinks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec_path.h"
#include "runtime_heap.h"

namespace simaudio {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kFlushBytes = 1 << 16;

double clip16(double v) { return v > 32767.0 ? 32767.0 : (v < -32768.0 ? -32768.0 : v); }

std::int16_t toSample(double v) { return static_cast<std::int16_t>(std::lround(clip16(v))); }

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
  // Without a file (none asked for, or writing it failed) nothing is kept.
  void put(std::int16_t l, std::int16_t r) {
    if (fd_ < 0) return;
    buffer_.push_back(l);
    buffer_.push_back(r);
    if (buffer_.size() * 2 >= kFlushBytes) flush();
  }
  void put(const std::int16_t* lr, std::size_t count) {
    if (fd_ < 0) return;
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
      buffer_.clear();
      return;
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
    if (!sink.on()) return;
    const std::uint64_t upTo = outputsBefore(t);
    static const std::int16_t zeros[2 * 1024] = {};
    while (sink.on() && sink.frames() < upTo) {
      const std::uint64_t n = upTo - sink.frames();
      sink.put(zeros, n < 1024 ? static_cast<std::size_t>(n) : 1024);
    }
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
  void played(double left, double right) override { speaker.add(left, right); }
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

void attachSinks(int wavFd, int captureFd) {
  simruntime::HostScope host;
  Files& f = files();
  f.speaker.sink.attach(wavFd, "WAV");
  f.capture.attach(captureFd, "SAI capture");
  f.captureEmpty = captureFd >= 0 && f.capture.frames() == 0;
  if (f.speaker.sink.on()) f.speaker.silenceUntil(simk::now());
  addListener(&f);
  if (!f.endHook) {
    f.endHook = true;
    simk::addEndHook([](int) {
      simruntime::HostScope scope;
      bringUpToDate();
    });
  }
}

}  // namespace simaudio
