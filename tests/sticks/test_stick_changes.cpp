// A stick swapped for another while the device lists the first, at many instants and with
// gaps from none (out and in at once) to longer than the second stick's start: the device
// always ends up listing the second stick, and a folder chosen then plays from it.
#include <gtest/gtest.h>

#include <string>

#include "stick_images.h"

using namespace sticks;

namespace {

struct Swap {
  int atMs;   // when the big stick is pulled (its list takes about 0.55 to 2.3 s)
  int gapMs;  // until the second goes in; -1: the second is put in its place at once
};

class StickSwap : public ::testing::TestWithParam<Swap> {};

TEST_P(StickSwap, TheSecondStickIsListedAndPlays) {
  const Swap s = GetParam();
  std::string script = "wait " + std::to_string(s.atMs) + "ms\n";
  if (s.gapMs >= 0) script += "remove\n";
  if (s.gapMs > 0) script += "wait " + std::to_string(s.gapMs) + "ms\n";
  script += "insert " + secondStick() +
            "\nwait 2s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 1s\n";
  const proc::Sim r = simulate(bigStick(), script);
  ASSERT_EQ(r.status, 0) << r.err;
  // The last list is the second stick's.
  const size_t last = r.log.rfind("Folder: ");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(r.log.compare(last, 23, "Folder: Zweiter Stick\r\n"), 0) << r.log.substr(last);
  EXPECT_NE(r.log.find("play 0:\\Zweiter Stick\\CD 1\\Lied.mp3\r\n"), std::string::npos) << r.log;
  const auto starts = eventTimes(r.trace, "audio", R"("state":"start")");
  ASSERT_FALSE(starts.empty());
  EXPECT_GT(starts.back(), (s.atMs + 2000) * 1000L);
}

INSTANTIATE_TEST_SUITE_P(
    Instants, StickSwap,
    ::testing::Values(Swap{600, 0}, Swap{700, 1}, Swap{900, 120}, Swap{1100, 400}, Swap{1300, 0},
                      Swap{1500, 1}, Swap{1700, 120}, Swap{1900, 0}, Swap{2100, 400}, Swap{2300, 0},
                      Swap{2600, 1}, Swap{1000, -1}, Swap{2000, -1},
                      // where a device that reads every sector from the
                      // stick would still print the first list
                      Swap{26300, 1}),
    [](const ::testing::TestParamInfo<Swap>& i) {
      return "At" + std::to_string(i.param.atMs) + "ms" +
             (i.param.gapMs < 0 ? std::string("InItsPlace")
                                : "Gap" + std::to_string(i.param.gapMs) + "ms");
    });

}  // namespace
