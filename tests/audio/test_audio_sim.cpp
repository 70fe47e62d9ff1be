// shapeplay-sim's audio files as a person gets them: --wav, the speaker over the whole run in
// virtual real time; --sai-capture, the frames the SAI sent; both complete WAV files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "process.h"

namespace {

const std::string kSim = SHAPEPLAY_SIM;

uint32_t u32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

TEST(AudioFiles, TheSpeakerFileSpansTheRunAndTheCaptureIsEmptyWithoutATrack) {
  const std::string dir = proc::tempDir();
  const auto o = proc::run({kSim, "--headless", "--duration", "1500ms", "--wav", dir + "/s.wav",
                            "--sai-capture", dir + "/c.wav"});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string wav = proc::readFile(dir + "/s.wav");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(u32(wav, 24), 48000u);          // rate
  EXPECT_EQ(u32(wav, 40), 1500u * 48 * 4);  // 1.5 s of 16-bit stereo frames
  EXPECT_EQ(u32(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.find_first_not_of('\0', 44), std::string::npos) << "nothing played: silence";
  const std::string capture = proc::readFile(dir + "/c.wav");
  ASSERT_EQ(capture.size(), 44u);
  EXPECT_EQ(u32(capture, 40), 0u);
  EXPECT_EQ(u32(capture, 4), 36u);
}

TEST(AudioFiles, AnOutputThatCannotBeWrittenIsABadArgument) {
  const std::string dir = proc::tempDir();
  for (const char* option : {"--wav", "--sai-capture"}) {
    const auto o =
        proc::run({kSim, "--headless", "--duration", "1s", option, dir + "/no/such/x.wav"});
    EXPECT_EQ(o.status, 2) << option;
    EXPECT_NE(o.err.find(dir + "/no/such/x.wav"), std::string::npos) << o.err;
  }
}

}  // namespace
