// What the simulator's window and the simulated board share. The window runs in a process of
// its own, made before the board's first life; every life of the board is a process of its
// own too (runner.h). They meet in one block of shared memory:
//   - the board's inbox (siminbox.h): the window's inputs, as scenario command lines, which
//     the board's kernel takes at its scheduling points;
//   - the board as a person sees it: the panel's picture, the backlight, the LEDs, whether
//     the board is on; the controls and the stick as they stand (the outside world, kept
//     across power cycles), all under one lock;
//   - the speaker's sound: a ring of 48 kHz frames that the board fills in virtual time and
//     the window's sound callback empties in real time;
//   - the wall-clock time at which virtual time 0 would have been, so that every life keeps
//     in step with the wall clock.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "siminbox.h"

namespace simaudio {
class SpeakerTap;
}
namespace simscn {
struct Command;
}

namespace simlink {

inline constexpr int kPanelWidth = 272;  // the picture as the child sees it
inline constexpr int kPanelHeight = 480;
inline constexpr std::size_t kPanelBytes = std::size_t{kPanelWidth} * kPanelHeight * 3;
inline constexpr std::size_t kPathBytes = 4096;

// The world around the board: what a person has set on it. Kept across power cycles.
struct Outside {
  bool parentsKey = false;
  bool powerKey = false;
  bool mono = false;
  int light = -1;               // raw reading; -1: the board's default
  int knob = 0;                 // detents turned in all (the knob's position as drawn)
  char stick[kPathBytes] = {};  // the image in the slot; empty: none
};

// The speaker's frames, from the board (one writer) to the window's sound (one reader).
class SoundRing {
 public:
  static constexpr std::size_t kFrames = 1 << 16;  // 1.37 s at 48 kHz

  // Appends what fits; returns the frames taken.
  std::size_t put(const std::int16_t* lr, std::size_t count);
  // Takes up to `count` frames; returns how many.
  std::size_t get(std::int16_t* lr, std::size_t count);
  // Throws away up to `count` frames.
  std::size_t skip(std::size_t count);
  std::size_t fill() const;
  // Frames taken (or thrown away) so far.
  std::uint64_t taken() const;

 private:
  std::atomic<std::uint64_t> written_{0};
  std::atomic<std::uint64_t> read_{0};
  std::int16_t lr_[2 * kFrames] = {};
};

struct Link {
  Link();
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  simk::Inbox inbox;

  // Under `lock`:
  simk::SharedMutex lock;
  std::uint8_t picture[kPanelBytes] = {};  // rows from the top, red, green, blue
  std::uint64_t pictureNumber = 0;         // moves on with every new picture
  int backlight = 0;                       // per mille
  std::uint8_t leds[3][3] = {};            // red, green, blue of each LED
  bool boardOn = false;
  std::uint64_t boardNumber = 0;  // lives so far: a new life shows a new picture
  Outside outside;

  // Without the lock:
  SoundRing sound;
  std::atomic<bool> soundOpen{false};     // the window plays the ring (else nothing fills it)
  std::atomic<std::int64_t> wallZero{0};  // steady-clock ns at virtual time 0
  std::atomic<bool> runOver{false};       // the run has ended: the window closes
};

// The shared block, placed in memory that forked processes share; null if that failed.
Link* create();

// The block's lock; one whose holder died (a board process that crashed) is taken over.
class Locked {
 public:
  explicit Locked(Link* link) : hold_(link->lock) {}

 private:
  simk::SharedMutex::Hold hold_;
};

// The wall clock (steady, nanoseconds) as the simulator's processes share it.
std::int64_t wallNow();

// The board's side, in a life of the board with a window: takes the window's inputs from the
// inbox (each handed to `apply` as a scenario command line, in interrupt context; "quit" ends
// the run with status 0), shows the window every new picture, the backlight, the LEDs and the
// controls, feeds the window's sound, and keeps virtual time in step with the wall clock
// (slipping when the board falls more than a moment behind, rather than hurrying to catch up).
void connectBoard(Link* link, void (*apply)(const std::string& line));
// What a command carried out (the scenario's or the window's) changed outside the board: the
// stick in the slot and the knob's position, which the window shows and the next life keeps.
void noteCommand(Link* link, const simscn::Command& command);
// Where the board's speaker feeds the window's sound (null: the window plays none).
simaudio::SpeakerTap* soundTap(Link* link);

}  // namespace simlink
