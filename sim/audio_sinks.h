// The simulator's audio files: what the speaker played (--wav, resampled to a fixed rate) and
// the frames the SAI sent (--sai-capture), written as the codec's playback path delivers them.
#pragma once

#include <cstdint>
#include <string>

namespace simaudio {

// The fixed rate of the speaker's WAV file; other rates are resampled to it.
inline constexpr std::uint32_t kSpeakerRate = 48000;

// Writes a WAV header for 16-bit stereo to a new file (data size 0, to be finalised).
bool writeWavHeader(int fd, std::uint32_t rate, std::string& error);
// Fixes the header's sizes from the file's length.
bool finaliseWav(int fd, std::string& error);
// This life of the board appends to the two files (-1: no such file). The speaker's file is
// first filled with silence up to now (what was played before this life, or while the board
// was off, is in the file already). At the end of the run both are brought up to date.
void attachSinks(int wavFd, int captureFd);

}  // namespace simaudio
