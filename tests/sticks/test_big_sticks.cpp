// Big sticks as people fill them, through the simulator: how soon the device lists them, what
// it lists (the console's folder lines as they have always been), how soon a chosen folder
// sounds, and that the device does not switch itself off while it lists.
#include <gtest/gtest.h>

#include <string>

#include "stick_images.h"

using namespace sticks;

namespace {

constexpr long kS = 1000000;  // trace times are in us

// The folder lines of a console log, with their line ends.
std::string folderLines(const std::string& log) {
  std::string out;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size() - 1;
    const std::string line = log.substr(pos, end + 1 - pos);
    if (line.starts_with("Folder: ") || line.starts_with(" Pic:") || line.starts_with(" Count:")) {
      out += line;
    }
    pos = end + 1;
  }
  return out;
}

long lastFolderLine(const std::string& trace) {
  long t = -1;
  for (const Line& l : consoleLines(trace)) {
    if (l.text.starts_with("Folder: ")) t = l.t;
  }
  return t;
}

TEST(BigSticks, TwoHundredFiftySixFoldersOfSixteenListWithinFiveSecondsAndSoundAtOnce) {
  const proc::Sim r = simulate(bigStick(),
                               "wait 6s\nevent BTN_PlaybackFolder main=199 playback=15\n"
                               "wait 1s\nevent BTN_PlaybackFolder main=7 playback=3\nwait 1s\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(folderLines(r.log), bigStickFolderLines());
  const long listed = lastFolderLine(r.trace);
  EXPECT_GT(listed, 0);
  EXPECT_LE(listed, 5 * kS);
  // From the request to the first sample.
  const auto starts = eventTimes(r.trace, "audio", R"("state":"start")");
  ASSERT_EQ(starts.size(), 2u) << r.log;
  EXPECT_LE(starts[0] - 6 * kS, 150000);
  EXPECT_LE(starts[1] - 7 * kS, 150000);
  EXPECT_NE(r.log.find("play 0:\\Hoerspiel 200\\CD 16\\Track 01.mp3\r\n"), std::string::npos);
  EXPECT_NE(r.log.find("play 0:\\Hoerspiel 008\\CD 04\\Track 01.mp3\r\n"), std::string::npos);
}

TEST(BigSticks, TheDemoStickListsWithinOneSecond) {
  const proc::Sim r = simulate(SHAPEPLAY_DEMO_STICK, "wait 2s\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const long listed = lastFolderLine(r.trace);
  EXPECT_GT(listed, 0);
  EXPECT_LE(listed, 1 * kS);
}

// 4,000 files in the root before the folders (the folders' look-ups pass them all).
TEST(BigSticks, ThousandsOfRootFilesListWithinTenSecondsAndTheIdleCountStartsAfterwards) {
  const proc::Sim r =
      simulate(manyFilesStick(), "wait 12s\nevent BTN_Folder_Refresh main=3\nwait 255s\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(folderLines(r.log), bigStickFolderLines());
  const long listed = lastFolderLine(r.trace);
  EXPECT_GT(listed, 0);
  EXPECT_LE(listed, 10 * kS);
  // Switched off 5,001 passes of 50 ms after the last request, as on any stick.
  const auto off = eventTimes(r.trace, "power", R"("state":"off")");
  ASSERT_EQ(off.size(), 1u);
  EXPECT_GE(off[0], 12 * kS + 250 * kS);
  EXPECT_LE(off[0], 12 * kS + 250 * kS + 500000);
}

// A stick so slow that its list takes longer than the idle time (1.5 s a command): the device
// lists it to the end and switches off 250 s after the list is shown.
TEST(BigSticks, NoSwitchOffWhileAStickIsListed) {
  const proc::Sim r = simulate(bigStick(), "wait 800s\n", {"--stick-timing", "1500ms,1250ns"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(folderLines(r.log), bigStickFolderLines());
  const long listed = lastFolderLine(r.trace);
  EXPECT_GT(listed, 250 * kS);
  const auto off = eventTimes(r.trace, "power", R"("state":"off")");
  ASSERT_EQ(off.size(), 1u);
  // (The idle count starts once the main screen's picture, a few slow reads more, is read.)
  EXPECT_GE(off[0], listed + 250 * kS);
  EXPECT_LE(off[0], listed + 260 * kS);
}

}  // namespace
