// The codec's playback path from the SAI to the speaker, and the audio sinks: what the speaker
// plays (--wav) and the frames the SAI sent (--sai-capture).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "simkernel.h"

namespace simaudio {

// The fixed rate of the speaker's WAV file; other rates are resampled to it.
inline constexpr std::uint32_t kSpeakerRate = 48000;

// ---- the SAI's side
// The link starts carrying frames at `rate` at virtual time `start` (a DMA run begins or the
// rate changes); the frames that follow are contiguous from then on.
void linkStart(simk::Time start, std::uint32_t rate);
// `count` stereo frames (left, right interleaved) sent in order.
void framesSent(const std::int16_t* frames, std::size_t count);
// The link stops carrying frames (its last frame was the last one sent).
void linkStop();
// Called before the codec's settings change (and at the end of a run), so that frames due by
// now are sent and processed with the settings they were played with.
void setCatchUp(std::function<void()> catchUp);
// Called by the codec model before each register write.
void codecWillChange();

// ---- sinks (a simulator run or a test sets them up in the board's process)
// Writes a WAV header for 16-bit stereo to a new file (data size 0, to be finalised).
bool writeWavHeader(int fd, std::uint32_t rate, std::string& error);
// Fixes the header's sizes from the file's length (and, when `rate` is non-zero, its rate).
bool finaliseWav(int fd, std::string& error);
// This life of the board appends to the two files (-1: no such sink). The speaker's file is
// first filled with silence up to now (what was played before this life, or while the board
// was off, is in the file already). At the end of the run both are brought up to date.
void attachSinks(int wavFd, int captureFd);

// ---- test backdoor
// What the speaker path does to one stereo frame with the codec's current registers, at
// `rate` (the state of the equaliser filters is kept between calls).
void processForTest(std::int16_t& left, std::int16_t& right, std::uint32_t rate);
// Frames the SAI has sent since power-on.
std::uint64_t framesSentTotal();

}  // namespace simaudio
