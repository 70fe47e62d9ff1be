// Broken sticks: a root whose cluster chain loops, a FAT that points outside the volume, a root
// of 100,000 entries. The list ends with what could be read, each folder once, nothing hangs,
// and a folder chosen afterwards plays.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "stick_images.h"

using namespace sticks;

namespace {

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

}  // namespace
