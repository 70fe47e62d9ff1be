// Big, broken and busy sticks as people fill them, through the simulator: how soon the device
// lists them, what it lists (the console's folder lines as they have always been), how soon a
// chosen folder sounds, that it does not switch itself off while it lists; broken sticks (a
// root whose cluster chain loops, a FAT that points outside the volume, a root of 100,000
// entries) listed with what can be read, each folder once, nothing hanging; and threads
// printing at once while a big stick is listed, every line whole and in each thread's order.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

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

// ---- Broken sticks

std::string folder(int n, bool withPlayback) {
  const std::string two = (n < 10 ? "0" : "") + std::to_string(n);
  return "Folder: Ordner " + two + "\r\n Pic:" + (withPlayback ? "title.bmp" : "") +
         "\r\n Count:" + (withPlayback ? "1" : "0") + "\r\n";
}

std::string folders(int last) {
  std::string out;
  for (int n = 1; n <= last; ++n) out += folder(n, n == 1);
  return out;
}

struct BadStick {
  const char* name;
  std::function<const std::string&()> image;
  std::string listed;  // the folder lines
  std::vector<std::string> alsoPrinted;
};

class BadSticks : public ::testing::TestWithParam<BadStick> {};

TEST_P(BadSticks, ListWhatCanBeReadAndGoOn) {
  const BadStick& b = GetParam();
  const proc::Sim r =
      simulate(b.image(), "wait 5s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 2s\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string listed;
  for (const Line& l : consoleLines(r.trace)) {
    if (l.text.starts_with("Folder: ") || l.text.starts_with(" Pic:") ||
        l.text.starts_with(" Count:")) {
      listed += l.text + "\r\n";
      EXPECT_LT(l.t, 5000000) << l.text;
    }
  }
  EXPECT_EQ(listed, b.listed);
  for (const std::string& p : b.alsoPrinted) EXPECT_NE(r.log.find(p), std::string::npos) << p;
  EXPECT_NE(r.log.find("play 0:\\Ordner 01\\CD 1\\Lied.mp3\r\n"), std::string::npos) << r.log;
  EXPECT_EQ(eventTimes(r.trace, "audio", R"("state":"start")").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadSticks,
    ::testing::Values(
        // The chain check ends the walk before the root's first cluster comes round again.
        BadStick{"LoopingRoot", loopingRootStick, folders(20), {"picture read 822"}},
        // The root ends after its first cluster (8 folders); "Ordner 02" cannot be opened;
        // the picture's chain leaves the volume after its first 512 bytes: a short read.
        BadStick{"ChainsOutsideTheVolume",
                 outsideStick,
                 folders(8),
                 {"open root err\nFolder: Ordner 01",
                  "size mismatch: 822, 512\r\npicture read 512\r\n"}},
        // A directory holds at most 65,536 entries: "Zuletzt" beyond them is never reached.
        BadStick{"HugeRoot", hugeRootStick, folders(20), {"picture read 822"}}),
    [](const ::testing::TestParamInfo<BadStick>& i) { return std::string(i.param.name); });

// ---- Threads printing at once

// Threads printing at once: the main loop (a settings dump of 4,096 lines, then a big stick's
// list), the stick service ("usb config", "usb active", "mount ok") and the human-input thread
// (the knob turned during the list). Every line arrives, whole, in each thread's order, and
// the device does not wait for the console meanwhile.

// The log's lines without their line ends, and without the settings store's "w" marks, which
// it prints without a line end: each stands in front of the next line of its thread.
std::vector<std::string> logLines(const std::string& log) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t marks = line.find_first_not_of('w');
    out.push_back(marks == std::string::npos ? std::string() : line.substr(marks));
  }
  return out;
}

// The lines that start with `prefix`, in order.
std::vector<std::string> starting(const std::vector<std::string>& lines, const std::string& p) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.starts_with(p)) out.push_back(l);
  }
  return out;
}

TEST(ConsoleLines, ThreeThreadsPrintingAtOnceLoseNoLineAndMixNone) {
  std::string script = "wait 600ms\n";
  for (int i = 0; i < 5; ++i) script += "turn 1\nwait 300ms\n";
  script += "wait 2s\nevent BTN_PlaybackFolder main=199 playback=15\nwait 14s\n";
  const proc::Sim r = simulate(bigStick(), script, {"--sram", sramWithFolderCount(256)});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = logLines(r.log);

  std::vector<std::string> dump;
  for (int root = 0; root < 256; ++root) {
    for (int audio = 0; audio < 16; ++audio) {
      dump.push_back("root: " + std::to_string(root) + ",  audio: " + std::to_string(audio) +
                     ",  currentFileNumber: 0,  positionInFile: 0");
    }
  }
  EXPECT_EQ(starting(lines, "root: "), dump);
  EXPECT_EQ(starting(lines, "usb "), (std::vector<std::string>{"usb config", "usb active"}));
  EXPECT_EQ(starting(lines, "mount "), (std::vector<std::string>{"mount ok"}));
  EXPECT_EQ(starting(lines, "Vol: "),
            (std::vector<std::string>{"Vol: 41", "Vol: 42", "Vol: 43", "Vol: 44", "Vol: 45"}));
  EXPECT_EQ(starting(lines, "Folder: ").size(), 256u);
  EXPECT_EQ(starting(lines, " Count:"), std::vector<std::string>(256, " Count:16"));
  // Nothing else is glued to a line: every line is one of the device's messages.
  for (const auto& l : lines) {
    EXPECT_EQ(l.find("Vol:"), l.starts_with("Vol: ") ? 0u : std::string::npos) << l;
    EXPECT_EQ(l.find("usb "), l.starts_with("usb ") ? 0u : std::string::npos) << l;
    EXPECT_EQ(l.find("root: "), l.starts_with("root: ") ? 0u : std::string::npos) << l;
  }
  // The console needs about 11 s for the dump; the device plays the folder chosen at 4.1 s
  // at once all the same.
  const auto starts = eventTimes(r.trace, "audio", R"("state":"start")");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_LE(starts[0] - 4100000, 150000);
  EXPECT_GT(eventTimes(r.trace, "console", "root: 255,  audio: 15").at(0), 10000000);
}

}  // namespace
