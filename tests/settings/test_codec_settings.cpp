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

// Each setter's writes, step by step ("" none); the codec comes out of reset muted: muting
// again changes nothing. The re-apply form (setVolume()) un-mutes a non-zero volume while the
// output is open; paused or stopped (closed), the output stays muted whatever the volume
// does, until it opens.
struct Step {
  const char* name;
  void (*action)(_AudioSettings&);
  const char* writes;
};
const Step kSteps[] = {
    {"open", [](_AudioSettings& s) { s.openOutput(true); }, nullptr},
    {"volume 0", [](_AudioSettings& s) { s.setVolume(0); }, "codec 0420=0200\ncodec 0422=0200\n"},
    {"volume 20", [](_AudioSettings& s) { s.setVolume(20); },
     "codec 0420=0010\nmute 0\ncodec 0422=0010\ncodec 0026=0154\ncodec 0027=0154\n"},
    {"volume 100",
     [](_AudioSettings& s) {
       s.setVolume(100);
       note("stored " + std::to_string(s.getVolume()));
     },
     "codec 0026=017F\ncodec 0027=017F\n"},
    {"volume 45",
     [](_AudioSettings& s) {
       s.setVolume(45);
       Singleton<Volume>::Instance().currentVal = 45;
     },
     nullptr},
    {"max 30",
     [](_AudioSettings& s) {
       s.setMaxVolume(30);
       note("max " + std::to_string(SramData::data.maxVolume) + " volume " +
            std::to_string(s.getVolume()) + " knob " +
            std::to_string(Singleton<Volume>::Instance().currentVal) + "/" +
            std::to_string(Singleton<Volume>::Instance().maxVal));
     },
     "codec 0026=015E\ncodec 0027=015E\n"},
    {"volume 20 again", [](_AudioSettings& s) { s.setVolume(20); }, nullptr},
    {"max 63", [](_AudioSettings& s) { s.setMaxVolume(63); }, ""},
    {"equalizer flat", [](_AudioSettings& s) { s.setEqualizer(12, 12, 12, 12, 12); },
     "codec 0480=6319\ncodec 0481=6300\n"},
    {"equalizer 0 24 5 17 3", [](_AudioSettings& s) { s.setEqualizer(0, 24, 5, 17, 3); },
     "codec 0480=060B\ncodec 0481=88C0\n"},
    {"3d 0", [](_AudioSettings& s) { s.set3d(0); }, "codec 0421=0110\n"},
    {"3d 31", [](_AudioSettings& s) { s.set3d(31); }, "codec 0421=3F10\n"},
    {"boost 0", [](_AudioSettings& s) { s.setSpkBoost(0); }, "codec 0025=0140\n"},
    {"boost 3", [](_AudioSettings& s) { s.setSpkBoost(3); }, "codec 0025=015B\n"},
    {"boost 7", [](_AudioSettings& s) { s.setSpkBoost(7); }, "codec 0025=017F\n"},
    // Beyond the 3-bit field: the top.
    {"boost 9", [](_AudioSettings& s) { s.setSpkBoost(9); }, "codec 0025=017F\n"},
    {"reapply 20", [](_AudioSettings& s) { s.setVolume(); },
     "codec 0420=0010\ncodec 0422=0010\ncodec 0026=0154\ncodec 0027=0154\n"},
    {"mute", [](_AudioSettings& s) { s.setVolume(0); }, nullptr},
    {"reapply 0", [](_AudioSettings& s) { s.setVolume(); }, "codec 0420=0200\ncodec 0422=0200\n"},
    {"close", [](_AudioSettings& s) { s.openOutput(false); }, nullptr},
    {"closed volume 20", [](_AudioSettings& s) { s.setVolume(20); },
     "codec 0026=0154\ncodec 0027=0154\n"},
    {"closed reapply", [](_AudioSettings& s) { s.setVolume(); },
     "codec 0026=0154\ncodec 0027=0154\n"},
    {"closed volume 0 and 9",
     [](_AudioSettings& s) {
       s.setVolume(0);
       s.setVolume(9);
     },
     "codec 0420=0200\ncodec 0422=0200\ncodec 0026=0149\ncodec 0027=0149\n"},
    {"open again", [](_AudioSettings& s) { s.openOutput(true); },
     "codec 0420=0010\nmute 0\ncodec 0422=0010\n"},
};

TEST(CodecSettings, EachSetterWritesItsRegisterValues) {
  auto r = settingstest::onBoard([] {
    for (const Step& s : kSteps) {
      step(s.name);
      s.action(settings());
    }
    step("end");
    note(std::string("muted ") + (simcodec::muted() ? "yes" : "no") + ", mono " +
         (settings().isMono() ? "on" : "off"));
  });
  const std::string log = busLog(r.trace);
  for (const Step& s : kSteps) {
    if (s.writes != nullptr) {
      EXPECT_EQ(atStep(log, s.name), s.writes) << s.name;
    }
  }
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
