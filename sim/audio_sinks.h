// The simulator's audio files: what the speaker played (--wav, resampled to a fixed rate) and
// the frames the SAI sent (--sai-capture), written as the codec's playback path delivers them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace simaudio {

// The fixed rate of the speaker's WAV file; other rates are resampled to it.
inline constexpr std::uint32_t kSpeakerRate = 48000;

// Writes a WAV header for 16-bit stereo to a new file (data size 0, to be finalised).
bool writeWavHeader(int fd, std::uint32_t rate, std::string& error);
// Fixes the header's sizes from the file's length.
bool finaliseWav(int fd, std::string& error);
// Where the speaker's sound goes besides the --wav file: the window's sound. It hears the
// same 48 kHz frames the file gets, from this life's power-on on.
class SpeakerTap {
 public:
  virtual ~SpeakerTap() = default;
  virtual void frames(const std::int16_t* lr, std::size_t count) = 0;
};

// This life of the board appends to the two files (-1: no such file) and feeds `tap` (null:
// none). The speaker's file is first filled with silence up to now (what was played before
// this life, or while the board was off, is in the file already). At the end of the run both
// are brought up to date.
void attachSinks(int wavFd, int captureFd, SpeakerTap* tap = nullptr);

// The speaker's sound up to now (silence while nothing plays) goes out at once instead of
// with the next frames the SAI sends: a listener in real time (the window) calls it as
// virtual time passes. The sound is the same whenever it is called.
void catchUp();

}  // namespace simaudio
