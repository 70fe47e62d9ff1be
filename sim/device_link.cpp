// The block the window and the board share (device_link.h), and the board's side of it.
#include "device_link.h"

#include <sys/mman.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "audio_sinks.h"
#include "inputs.h"
#include "panel.h"
#include "scenario.h"
#include "simkernel.h"
#include "ws2811_chain.h"

namespace simlink {
namespace {

// The board's pace: every 5 ms of virtual time it looks at the wall clock.
constexpr simk::Time kPaceStep = 5 * simk::kMs;
// The board runs this far ahead of the wall clock: the window's sound plays what the board
// made this long ago, so that a moment's hold-up of the board's process (a busy host) is not
// heard. A touch is heard this much later than on the device.
constexpr std::int64_t kLeadNs = 100'000'000;
// A board further behind the wall clock than this gives up the lost time instead of racing.
constexpr std::int64_t kSlipNs = 150'000'000;
// While the window's sound plays, its device's clock is the one to follow: a device a little
// faster or slower than the wall clock would otherwise empty the ring, or fill it, and be
// heard as a gap. Every pace step the board's start moves by a small share of how far the
// frames waiting in the ring are from the lead, at most kMostNudgeNs a step (5 %).
constexpr double kNudgeGain = 0.002;
constexpr std::int64_t kMostNudgeNs = 250'000;
constexpr std::int64_t kLeadFrames = kLeadNs * 48'000 / 1'000'000'000;

struct Board {
  Link* link = nullptr;
  void (*apply)(const std::string&) = nullptr;
  simk::Periodic pace;
  std::uint64_t taken = 0;    // frames the sound device had taken at the last look
  simk::Time takenMoved = 0;  // when that count last moved
  bool soundPlays = false;
};

Board& board() {
  static Board b;
  return b;
}

class RingTap : public simaudio::SpeakerTap {
 public:
  explicit RingTap(SoundRing* ring) : ring_(ring) {}
  // A window that does not keep up loses the newest frames, never the board's time.
  void frames(const std::int16_t* lr, std::size_t count) override { (void)ring_->put(lr, count); }

 private:
  SoundRing* ring_;
};

void copyPath(char* to, const std::string& from) {
  const std::size_t n = std::min(from.size(), kPathBytes - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

// What a person sees of the board besides the picture, and the controls as they stand.
void publish() {
  Link* link = board().link;
  const auto colours = simws2811::colours();
  const int backlight = simdisplay::backlight();
  Locked hold(link);
  link->backlight = backlight;
  for (std::size_t i = 0; i < 3; ++i) {
    link->leds[i][0] = colours[i].r;
    link->leds[i][1] = colours[i].g;
    link->leds[i][2] = colours[i].b;
  }
  Outside& o = link->outside;
  o.parentsKey = simboard::keyDown(simboard::Key::Parents);
  o.powerKey = simboard::keyDown(simboard::Key::Power);
  o.mono = simboard::mono();
  o.light = simboard::light();
}

// Virtual time runs no further ahead of the wall clock than the lead; a board that has fallen
// far behind (the host was busy) takes the wall clock's time as its own from here on.
void keepPace() {
  Link* link = board().link;
  const auto now = static_cast<std::int64_t>(simk::now());
  const std::int64_t due = link->wallZero.load(std::memory_order_relaxed) + now - kLeadNs;
  const std::int64_t wall = wallNow();
  if (wall > due + kLeadNs + kSlipNs) {
    link->wallZero.store(wall - now, std::memory_order_relaxed);
    return;
  }
  if (due <= wall) return;
  // The sound device takes frames: its clock sets the pace.
  Board& b = board();
  const std::uint64_t taken = link->sound.taken();
  if (taken != b.taken) {
    b.taken = taken;
    b.takenMoved = simk::now();
    b.soundPlays = true;
  } else if (simk::now() - b.takenMoved > 100 * simk::kMs) {
    b.soundPlays = false;  // no device, or it stopped taking
  }
  if (b.soundPlays) {
    const auto error =
        static_cast<double>(static_cast<std::int64_t>(link->sound.fill()) - kLeadFrames) *
        (1e9 / 48'000);
    const auto nudge =
        std::clamp(static_cast<std::int64_t>(error * kNudgeGain), -kMostNudgeNs, kMostNudgeNs);
    link->wallZero.fetch_add(nudge, std::memory_order_relaxed);
  }
  timespec ts{static_cast<time_t>((due - wall) / 1'000'000'000),
              static_cast<long>((due - wall) % 1'000'000'000)};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace

// ---- the sound ring

std::size_t SoundRing::put(const std::int16_t* lr, std::size_t count) {
  const std::uint64_t w = written_.load(std::memory_order_relaxed);
  const std::uint64_t r = read_.load(std::memory_order_acquire);
  const std::size_t room = kFrames - static_cast<std::size_t>(w - r);
  const std::size_t n = std::min(count, room);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = static_cast<std::size_t>((w + i) % kFrames);
    lr_[2 * at] = lr[2 * i];
    lr_[2 * at + 1] = lr[2 * i + 1];
  }
  written_.store(w + n, std::memory_order_release);
  return n;
}

std::size_t SoundRing::get(std::int16_t* lr, std::size_t count) {
  const std::uint64_t r = read_.load(std::memory_order_relaxed);
  const std::uint64_t w = written_.load(std::memory_order_acquire);
  const std::size_t n = std::min(count, static_cast<std::size_t>(w - r));
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = static_cast<std::size_t>((r + i) % kFrames);
    lr[2 * i] = lr_[2 * at];
    lr[2 * i + 1] = lr_[2 * at + 1];
  }
  read_.store(r + n, std::memory_order_release);
  return n;
}

std::size_t SoundRing::skip(std::size_t count) {
  const std::uint64_t r = read_.load(std::memory_order_relaxed);
  const std::uint64_t w = written_.load(std::memory_order_acquire);
  const std::size_t n = std::min(count, static_cast<std::size_t>(w - r));
  read_.store(r + n, std::memory_order_release);
  return n;
}

std::uint64_t SoundRing::taken() const { return read_.load(std::memory_order_acquire); }

std::size_t SoundRing::fill() const {
  return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                  read_.load(std::memory_order_acquire));
}

// ---- the shared block

Link::Link() = default;

Link::~Link() = default;

Link* create() {
  void* memory =
      mmap(nullptr, sizeof(Link), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  return new (memory) Link;
}

std::int64_t wallNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// ---- the board's side

void connectBoard(Link* link, void (*apply)(const std::string& line)) {
  Board& b = board();
  b.link = link;
  b.apply = apply;
  {
    Locked hold(link);
    std::memset(link->picture, 0, sizeof link->picture);
    ++link->pictureNumber;
    ++link->boardNumber;
    link->boardOn = true;
  }
  simk::connectInbox(&link->inbox, [](const std::string& message) {
    if (message == "quit") simk::endRun(0, "");
    board().apply(message);
  });
  simdisplay::onNewPicture([] {
    Link* l = board().link;
    Locked hold(l);
    simdisplay::picture(l->picture);
    ++l->pictureNumber;
  });
  // Waking: a board in a window can always be woken by a person, so it never counts as
  // deadlocked.
  b.pace.start(simk::now(), kPaceStep, simk::kOrderEnd - 1, true, [] {
    simaudio::catchUp();
    publish();
    keepPace();
  });
  // The last word of a life: the controls as they were, then the board is off.
  simk::addEndHook([](int) {
    publish();
    Locked hold(board().link);
    board().link->boardOn = false;
  });
}

void noteCommand(Link* link, const simscn::Command& command) {
  if (link == nullptr) return;
  Locked hold(link);
  switch (command.op) {
    case simscn::Op::Insert: copyPath(link->outside.stick, command.path); break;
    case simscn::Op::Remove: link->outside.stick[0] = '\0'; break;
    case simscn::Op::Turn: link->outside.knob += static_cast<int>(command.n); break;
    default: break;
  }
}

simaudio::SpeakerTap* soundTap(Link* link) {
  if (link == nullptr || !link->soundOpen.load()) return nullptr;
  static RingTap tap(&link->sound);
  return &tap;
}

}  // namespace simlink
