// shapeplay-sim's audio files as a person gets them: --wav, the speaker over the whole run in
// virtual real time; --sai-capture, the frames the SAI sent; both complete WAV files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The most memory a headless run without audio files held, in KiB.
long peakKib(const char* duration) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execl(kSim.c_str(), kSim.c_str(), "--headless", "--duration", duration, nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

// Without --wav nothing of the speaker's silence is kept: a four-minute run (just before the
// idle board switches itself off) needs no more memory than a ten-second one.
TEST(AudioFiles, WithoutASpeakerFileTheSilenceIsNotKept) {
  const long shortRun = peakKib("10s"), longRun = peakKib("4m");
  ASSERT_GT(shortRun, 0);
  ASSERT_GT(longRun, 0);
  EXPECT_LT(longRun - shortRun, 16 * 1024) << "KiB more; four minutes of silence are 46 MB";
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
