// The codec's sound settings: the register values each setter writes, the order of the
// writes for a parents' settings change, and register pairs under concurrent setters.
#include <gtest/gtest.h>

#include "audioSettings.h"
#include "codec.h"
#include "settings_board.h"
#include "singleton.h"
#include "volume.h"

namespace {

using boardtest::note;
using settingstest::atStep;
using settingstest::busLog;
using settingstest::step;

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }

TEST(CodecSettings, EachSetterWritesItsRegisterValues) {
  auto r = settingstest::onBoard([] {
    auto& s = settings();
    step("open");
    s.openOutput(true);  // the output plays: the volume alone decides the mute
    step("volume 0");
    s.setVolume(0);
    step("volume 20");
    s.setVolume(20);
    step("volume 100");
    s.setVolume(100);
    note("stored " + std::to_string(s.getVolume()));
    step("volume 45");
    s.setVolume(45);
    Singleton<Volume>::Instance().currentVal = 45;
    step("max 30");
    s.setMaxVolume(30);
    note("max " + std::to_string(SramData::data.maxVolume) + " volume " +
         std::to_string(s.getVolume()) + " knob " +
         std::to_string(Singleton<Volume>::Instance().currentVal) + "/" +
         std::to_string(Singleton<Volume>::Instance().maxVal));
    step("volume 20 again");
    s.setVolume(20);
    step("max 63");
    s.setMaxVolume(63);
    step("equalizer flat");
    s.setEqualizer(12, 12, 12, 12, 12);
    step("equalizer 0 24 5 17 3");
    s.setEqualizer(0, 24, 5, 17, 3);
    step("3d 0");
    s.set3d(0);
    step("3d 31");
    s.set3d(31);
    step("boost 0");
    s.setSpkBoost(0);
    step("boost 3");
    s.setSpkBoost(3);
    step("boost 7");
    s.setSpkBoost(7);
    step("boost 9");
    s.setSpkBoost(9);
    step("reapply 20");
    s.setVolume();
    step("mute");
    s.setVolume(0);
    step("reapply 0");
    s.setVolume();
    // Paused or stopped, the output stays muted whatever the volume does, until it opens.
    step("close");
    s.openOutput(false);
    step("closed volume 20");
    s.setVolume(20);
    step("closed reapply");
    s.setVolume();
    step("closed volume 0 and 9");
    s.setVolume(0);
    s.setVolume(9);
    step("open again");
    s.openOutput(true);
    step("end");
    note(std::string("muted ") + (simcodec::muted() ? "yes" : "no") + ", mono " +
         (s.isMono() ? "on" : "off"));
  });
  const std::string log = busLog(r.trace);
  // The codec comes out of reset muted: muting again changes nothing.
  EXPECT_EQ(atStep(log, "volume 0"), "codec 0420=0200\ncodec 0422=0200\n");
  EXPECT_EQ(atStep(log, "volume 20"),
            "codec 0420=0010\nmute 0\ncodec 0422=0010\ncodec 0026=0154\ncodec 0027=0154\n");
  EXPECT_EQ(atStep(log, "volume 100"), "codec 0026=017F\ncodec 0027=017F\n");
  EXPECT_EQ(atStep(log, "max 30"), "codec 0026=015E\ncodec 0027=015E\n");
  EXPECT_EQ(atStep(log, "max 63"), "");
  EXPECT_EQ(atStep(log, "equalizer flat"), "codec 0480=6319\ncodec 0481=6300\n");
  EXPECT_EQ(atStep(log, "equalizer 0 24 5 17 3"), "codec 0480=060B\ncodec 0481=88C0\n");
  EXPECT_EQ(atStep(log, "3d 0"), "codec 0421=0110\n");
  EXPECT_EQ(atStep(log, "3d 31"), "codec 0421=3F10\n");
  EXPECT_EQ(atStep(log, "boost 0"), "codec 0025=0140\n");
  EXPECT_EQ(atStep(log, "boost 3"), "codec 0025=015B\n");
  EXPECT_EQ(atStep(log, "boost 7"), "codec 0025=017F\n");
  EXPECT_EQ(atStep(log, "boost 9"), "codec 0025=017F\n") << "beyond the 3-bit field: the top";
  // The re-apply form un-mutes a non-zero volume while the output is open.
  EXPECT_EQ(atStep(log, "reapply 20"),
            "codec 0420=0010\ncodec 0422=0010\ncodec 0026=0154\ncodec 0027=0154\n");
  EXPECT_EQ(atStep(log, "reapply 0"), "codec 0420=0200\ncodec 0422=0200\n");
  EXPECT_EQ(atStep(log, "closed volume 20"), "codec 0026=0154\ncodec 0027=0154\n");
  EXPECT_EQ(atStep(log, "closed reapply"), "codec 0026=0154\ncodec 0027=0154\n");
  EXPECT_EQ(atStep(log, "closed volume 0 and 9"),
            "codec 0420=0200\ncodec 0422=0200\ncodec 0026=0149\ncodec 0027=0149\n");
  EXPECT_EQ(atStep(log, "open again"), "codec 0420=0010\nmute 0\ncodec 0422=0010\n");
  EXPECT_EQ(r.notes, "stored 63\nmax 30 volume 30 knob 30/30\nmuted no, mono on\n");
}

TEST(CodecSettings, ParentsSettingsChangeWritesInOrderThenStoresTheRecord) {
  auto r = settingstest::onBoard([] {
    auto& s = settings();
    s.init();
    s.setVolume(50);
    s.triggerWrite();
    // What the main loop does with a settings event from the parents' screen.
    step("from the screen");
    s.setMaxVolume(40);
    s.set3d(5);
    s.setSpkBoost(2);
    s.setPositionResume(true);
    s.setEqualizer(10, 11, 12, 13, 14);
    s.triggerWrite();
    // What the human-input thread does with the stored parents' settings at start-up.
    step("stored settings");
    s.setSpkBoost(4);
    s.setMaxVolume(20);
    s.setEqualizer(12, 12, 12, 12, 12);
    s.set3d(0);
    step("end");
  });
  const std::string log = busLog(r.trace);
  EXPECT_EQ(atStep(log, "from the screen"),
            "codec 0026=0168\ncodec 0027=0168\n"  // volume 50 pulled down to 40
            "codec 0421=0B10\n"
            "codec 0025=0152\n"
            "codec 0480=52D9\ncodec 0481=6B80\n"
            "sram write 16668\nsram write 16668\n");
  EXPECT_EQ(atStep(log, "stored settings"),
            "codec 0025=0164\n"
            "codec 0026=0154\ncodec 0027=0154\n"
            "codec 0480=6319\ncodec 0481=6300\n"
            "codec 0421=0110\n");
  EXPECT_EQ(r.console, "Conf default; size: 16 kb\nConf default\nww");
}

// A low-priority thread sets the equaliser over and over while a high-priority one, woken by
// the tick, sets the volume: the high one may run between any two bus transfers of the low
// one, but never inside a register pair.
TEST(CodecSettings, RegisterPairsNeverInterleaveBetweenThreads) {
  auto r = settingstest::onBoard([] { vTaskDelay(200); },
                                 [] {
                                   xTaskCreate(
                                       [](void*) {
                                         for (int i = 0;; ++i)
                                           settings().setEqualizer(i % 25, 3, 4, 5, 6);
                                       },
                                       "low", 1024, nullptr, 2, nullptr);
                                   xTaskCreate(
                                       [](void*) {
                                         for (int i = 0;; ++i) {
                                           vTaskDelay(1);
                                           settings().setVolume(i % 3 == 0 ? 0 : 1 + i % 63);
                                         }
                                       },
                                       "high", 1024, nullptr, 5, nullptr);
                                 });
  const std::string log = busLog(r.trace);
  std::istringstream in(log);
  std::string line, previous;
  int pairs = 0, volumes = 0;
  while (std::getline(in, line)) {
    if (line.rfind("codec ", 0) != 0) continue;  // mute changes, steps
    const std::string reg = line.substr(0, 10);
    if (previous == "codec 0480") {
      ASSERT_EQ(reg, "codec 0481");
    }
    if (previous == "codec 0026") {
      ASSERT_EQ(reg, "codec 0027");
    }
    if (previous == "codec 0420") {
      ASSERT_EQ(reg, "codec 0422");
    }
    if (reg == "codec 0480") ++pairs;
    if (reg == "codec 0026") ++volumes;
    previous = reg;
  }
  // Both threads got through plenty of writes.
  EXPECT_GT(pairs, 50);
  EXPECT_GT(volumes, 50);
}

}  // namespace
