// The settings record on the serial SRAM (start-up load with its dump, defaults, slot access,
// the write policy, the resume position's unit, repairs and concurrent use) and the codec's
// sound settings, on fresh boards.
#include <gtest/gtest.h>

#include <cstring>

#include "audioSettings.h"
#include "codec.h"
#include "parentsSettings.h"
#include "settings_board.h"
#include "singleton.h"
#include "volume.h"

namespace {

using boardtest::note;
using settingstest::atStep;
using settingstest::busLog;
using settingstest::step;

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }

std::string parentsCurrents() {
  const ParentsSettings& p = parentsSettings;
  std::string s = "boost " + std::to_string(p.spkBoost.current) + " eq";
  for (const auto& band : p.equalizer) s += " " + std::to_string(band.current);
  return s + " max " + std::to_string(p.maxVolume.current) + " 3d " +
         std::to_string(p.effect3d.current) + " resume " + std::to_string(p.positionResume) +
         " changed " + std::to_string(p.changed.load());
}

SramDataStruct sampleRecord() {
  SramDataStruct rec;
  setDefaultRecord(rec);
  rec.currentRootFolderNumber = 3;
  rec.currentVolume = 22;
  rec.spkBoost = 2;
  for (int i = 0; i < 5; ++i) rec.equalizer[i] = static_cast<uint8_t>(i + 1);
  rec.maxVolume = 50;
  rec.effect3d = 9;
  rec.positionResume = 1;
  rec.audioFolder[5][0] = {7, 1};
  rec.audioFolder[5][2] = {9, 3};
  return rec;
}

class BlankChip : public testing::TestWithParam<uint8_t> {};

TEST_P(BlankChip, GivesTheDefaultsWhichReachTheChipWithTheFirstWriteOfAChange) {
  const uint8_t blank = GetParam();
  auto r = settingstest::onBoard(
      [] {
        auto& s = settings();
        s.init();
        note(parentsCurrents());
        note("volume " + std::to_string(s.getVolume()) + " resume " +
             std::to_string(s.getPositionResume()));
        step("nothing changed");
        s.triggerWrite();
        step("changed");
        s.sramData.setChanged();
        s.triggerWrite();
        step("end");
        SramDataStruct expected;
        setDefaultRecord(expected);
        expected.currentVolume = 40;
        SramDataStruct chip;
        simsram::read(0, &chip, sizeof chip);
        note(std::string("chip holds the default record: ") +
             (std::memcmp(&chip, &expected, sizeof chip) == 0 ? "yes" : "no"));
      },
      [blank] { simsram::fill(blank); });
  EXPECT_EQ(r.console, "Conf default; size: 16 kb\nConf default\nw");
  EXPECT_EQ(r.notes,
            "boost 7 eq 12 12 12 12 12 max 63 3d 0 resume 0 changed 1\n"
            "volume 40 resume 0\n"
            "chip holds the default record: yes\n");
  const std::string log = busLog(r.trace);
  // Copy A and copy B's check word; neither is complete, so copy B is read whole too.
  EXPECT_EQ(log.substr(0, log.find("step")), "sram read 16668\nsram read 8\nsram read 16660\n");
  EXPECT_EQ(atStep(log, "nothing changed"), "");
  EXPECT_EQ(atStep(log, "changed"), "sram write 16668\nsram write 16668\n");  // copy B, then copy A
}

INSTANTIATE_TEST_SUITE_P(AllZeroAndAllOne, BlankChip, testing::Values(0x00, 0xFF));

TEST(SettingsStore, ValidRecordIsReadBackFieldByFieldWithItsDump) {
  auto r = settingstest::onBoard(
      [] {
        auto& s = settings();
        s.init();
        note(parentsCurrents());
        Volume& knob = Singleton<Volume>::Instance();
        note("knob counter " + std::to_string(__HAL_TIM_GET_COUNTER(&knob.timerHandle)) +
             " value " + std::to_string(knob.currentVal) + " max " + std::to_string(knob.maxVal));
        note("root " + std::to_string(s.getRootFolder()) + " volume " +
             std::to_string(s.getVolume()) + " resume " + std::to_string(s.getPositionResume()));
        const ModelParentsSettings m = s.getModelParentsSettings();
        note("screen boost " + std::to_string(m.spkBoost) + " eq5 " +
             std::to_string(m.equalizer[4]) + " max " + std::to_string(m.maxVolume) + " 3d " +
             std::to_string(m.effect3d) + " resume " + std::to_string(m.positionResume) +
             " changed " + std::to_string(m.changed));
        step("write unchanged");
        s.triggerWrite();
        step("end");
      },
      [] { settingstest::storeOnChip(sampleRecord()); });
  EXPECT_EQ(r.console,
            "Conf read\nSRAM:\nversionOfConfiguation: 42245\nfolderCount: 0\n"
            "currentRootFolderNumber: 3\nusbIdentifier.vid: 0\nusbIdentifier.pid: 0\n"
            "currentVolume:22\nspkBoost:2\nmaxVolume:50\neffect3d:9\n"
            "equalizer[0]:1\nequalizer[1]:2\nequalizer[2]:3\nequalizer[3]:4\nequalizer[4]:5\n");
  EXPECT_EQ(r.notes,
            "boost 2 eq 1 2 3 4 5 max 50 3d 9 resume 1 changed 1\n"
            "knob counter 88 value 22 max 50\n"
            "root 3 volume 22 resume 1\n"
            "screen boost 2 eq5 5 max 50 3d 9 resume 1 changed 1\n");
  // write() with nothing changed transfers nothing and prints nothing.
  EXPECT_EQ(atStep(busLog(r.trace), "write unchanged"), "");
}

TEST(SettingsStore, SlotsFollowTheRootFolderAndTheClampedAudioFolder) {
  auto r = settingstest::onBoard(
      [] {
        auto& s = settings();
        s.init();
        s.changeRootFolder(5);
        s.changeAudioFolder(2);
        note("[5][2] track " + std::to_string(s.getAudioTrackNumber()) + " position " +
             std::to_string(s.getFilePosition()));
        s.changeAudioFolder(16);
        note("16 selects slot " + std::to_string(s.sramData.getAudioFolder()) + ": track " +
             std::to_string(s.getAudioTrackNumber()));
        s.changeAudioFolder(2);
        s.changeRootFolder(6);
        note("a new root folder starts at subfolder " +
             std::to_string(s.sramData.getAudioFolder()));
        s.changeRootFolder(300);
        note("root 300 is taken as " + std::to_string(s.getRootFolder()));
        s.changeRootFolder(5);
        s.changeAudioFolder(2);
        s.playbackNewTrack(4);
        s.playbackFilePosition(123456);
        note("stored track " + std::to_string(SramData::data.audioFolder[5][2].currentFileNumber) +
             " position field " + std::to_string(SramData::data.audioFolder[5][2].positionInFile));
      },
      [] { settingstest::storeOnChip(sampleRecord()); });
  EXPECT_EQ(r.notes,
            "[5][2] track 9 position 24576\n"
            "16 selects slot 0: track 7\n"
            "a new root folder starts at subfolder 0\n"
            "root 300 is taken as 0\n"
            "stored track 4 position field 15\n");
}

TEST(SettingsStore, OutOfRangeFieldsAreRepairedOnLoad) {
  auto r = settingstest::onBoard(
      [] {
        auto& s = settings();
        s.init();
        note(parentsCurrents());
        note("root " + std::to_string(s.getRootFolder()) + " volume " +
             std::to_string(s.getVolume()) + " folders " +
             std::to_string(SramData::data.folderCount) + " serial end " +
             std::to_string(SramData::data.usbIdentifier.serial[255]));
        s.changeAudioFolder(1);
        note("slot [0][1] track " + std::to_string(s.getAudioTrackNumber()));
        // The stored settings as the human-input thread applies them reach the codec in range.
        step("apply");
        s.setSpkBoost(parentsSettings.spkBoost.current);
        s.setMaxVolume(parentsSettings.maxVolume.current);
        s.setEqualizer(parentsSettings.equalizer[0].current, parentsSettings.equalizer[1].current,
                       parentsSettings.equalizer[2].current, parentsSettings.equalizer[3].current,
                       parentsSettings.equalizer[4].current);
        s.set3d(parentsSettings.effect3d.current);
        step("end");
      },
      [] {
        SramDataStruct rec = sampleRecord();
        rec.folderCount = 1000;
        rec.currentRootFolderNumber = 300;
        std::memset(rec.usbIdentifier.serial, 'x', sizeof rec.usbIdentifier.serial);
        rec.currentVolume = 200;
        rec.spkBoost = 9;
        rec.equalizer[2] = 30;
        rec.maxVolume = 99;
        rec.effect3d = 40;
        rec.positionResume = 5;
        rec.audioFolder[0][1] = {500, 7};
        rec.audioFolder[255][15] = {101, 7};
        settingstest::storeOnChip(rec);
      });
  EXPECT_TRUE(r.console.starts_with(
      "Conf repaired: folderCount\nConf repaired: currentRootFolderNumber\n"
      "Conf repaired: usbIdentifier.serial\nConf repaired: currentVolume\n"
      "Conf repaired: spkBoost\nConf repaired: equalizer\nConf repaired: maxVolume\n"
      "Conf repaired: effect3d\nConf repaired: positionResume\nConf repaired: 2 slots\n"
      "Conf read\n"))
      << r.console;
  EXPECT_EQ(r.notes,
            "boost 7 eq 1 2 12 4 5 max 63 3d 0 resume 0 changed 1\n"
            "root 0 volume 40 folders 0 serial end 0\n"
            "slot [0][1] track 0\n");
  EXPECT_EQ(atStep(busLog(r.trace), "apply"),
            "codec 0025=017F\ncodec 0480=0899\ncodec 0481=2140\ncodec 0421=0110\n");
  // The repaired record went back to the chip at once.
  EXPECT_NE(busLog(r.trace).find("sram read 16668\nsram read 8\nsram read 16660\nsram write "
                                 "16668\nsram write 16668\nstep apply"),
            std::string::npos);
}

std::atomic<bool> writing{false};

// The power-off path (main loop's priority) writes while the main loop is in the middle of a
// write: the transfers take turns and the chip ends up with the whole latest record.
TEST(SettingsStore, WritesFromTwoThreadsTakeTurns) {
  auto r = settingstest::onBoard(
      [] {
        auto& s = settings();
        s.init();
        s.setVolume(30);
        step("main loop writes");
        writing = true;
        s.triggerWrite();
        vTaskDelay(20);
        SramDataStruct chip;
        simsram::read(0, &chip, sizeof chip);
        note(std::string("chip equals the record: ") +
             (std::memcmp(&chip, &SramData::data, sizeof chip) == 0 ? "yes" : "no") + ", volume " +
             std::to_string(chip.currentVolume));
      },
      [] {
        xTaskCreate(
            [](void*) {
              while (!writing) vTaskDelay(1);
              vTaskDelay(2);  // inside the main loop's write, which takes over 5 ticks
              settings().setVolume(31);
              settings().triggerWrite();
              vTaskSuspend(nullptr);
            },
            "HumanInputTask", 1024, nullptr, 4, nullptr);
      });
  EXPECT_EQ(r.notes, "chip equals the record: yes, volume 31\n");
  EXPECT_EQ(atStep(busLog(r.trace), "main loop writes"),
            "codec 0026=015F\ncodec 0027=015F\nsram write 16668\nsram write 16668\nsram write "
            "16668\nsram write 16668\n");
  EXPECT_TRUE(r.console.ends_with("ww"));
}

// ---- The codec's sound settings: the register values each setter writes, the order of the
// writes for a parents' settings change, and register pairs under concurrent setters.

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
