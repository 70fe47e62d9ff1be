// Tracks, sticks and boards for the audio tests: MP3 files made with sox and lame, a reference
// decode by libmad in the test itself, and a board that runs the track player from a test task
// with the SAI capture and the speaker's WAV written to files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board_child.h"
#include "simkernel.h"

class AudioPlayer;

namespace audiotest {

// A temporary folder for this test program.
const std::string& dir();

// Makes an MP3: `synth` are sox arguments after "-n", with "{out}" where the output file goes
// (format options before it, "synth ..." after); `lame` the encoder's options. Fails the
// calling test when a tool fails.
std::string encode(const std::string& synth, const std::string& lame);
// Deterministic music-like stereo or mono input: a few tones and noise, `seconds` long.
std::string tones(unsigned rate, unsigned channels, double seconds);

// An ID3v2 header whose size field is `size` (the tag's bytes after the header are zeros).
std::string id3Tag(uint32_t size);

// A stick image holding `files` (paths with '/', below the root), 512-byte sectors.
std::string stick(const std::string& name,
                  const std::vector<std::pair<std::string, std::string>>& files, int megabytes = 8);

// libmad's decode of a whole stream as 16-bit stereo (mono streams on both channels; with
// `mono` two channels are mixed to their mean), and where each frame starts.
struct Decoded {
  std::vector<int16_t> lr;
  std::vector<uint32_t> frameOffsets;  // byte offset of each decoded frame
  std::vector<uint32_t> frameStarts;   // its first stereo frame in lr
  unsigned rate = 0;
  unsigned channels = 0;
  size_t errors = 0;
};
Decoded decode(const std::string& bytes, bool mono = false);

struct Wav {
  bool ok = false;
  unsigned rate = 0, channels = 0, bits = 0;
  uint32_t dataSize = 0;
  std::vector<int16_t> samples;
};
Wav readWav(const std::string& path);

// ---- the board
struct Board {
  std::string stick;    // image inserted at power-on
  std::string capture;  // --sai-capture of this board ("" for none)
  std::string wav;      // --wav of this board ("" for none)
  simk::Time duration = 20 * simk::kS;
  bool mono = false;                   // the mono switch
  uint8_t volume = 57;                 // the stored volume (57 = 0 dB)
  std::function<void()> prepare;       // in the main context, before the scheduler
  std::function<void()> beforePlayer;  // in the script's task, before the player is made
};

// Runs a board with the USB stick service and an AudioPlayer; `script` runs in a task of the
// main loop's priority once the stick is mounted. The run ends when the script returns.
boardtest::Result run(const Board& board, std::function<void(AudioPlayer&)> script);

// ---- in the script
void sleepMs(unsigned ms);
// Waits until the player is idle; false after `ms`.
bool waitIdle(AudioPlayer& player, unsigned ms);
// A line for the parent, with the virtual time in ms.
void mark(const std::string& what);

// ---- reading results
// Lines of the console (without "\r"), in order.
std::vector<std::string> lines(const std::string& console);
bool hasLine(const std::string& console, const std::string& line);
size_t countLines(const std::string& console, const std::string& line);
// The `audio` trace events as "start 48000" / "stop 48000" at their time in us.
std::vector<std::pair<long, std::string>> audioEvents(const std::string& trace);

}  // namespace audiotest
