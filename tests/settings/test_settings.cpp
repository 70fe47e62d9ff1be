// The settings record on the serial SRAM (start-up load with its dump, defaults, slot access,
// the write policy, repairs and concurrent use), the codec's sound settings, and the board
// models they talk to, on fresh boards; what the board saw is read back from the trace: the
// codec's control-bus writes and the SRAM transfers, split at named steps.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <sstream>
#include <vector>

#include "audioSettings.h"
#include "codec.h"
#include "firmware_board.h"
#include "parentsSettings.h"
#include "simi2c.h"
#include "simkernel.h"
#include "singleton.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "stm32746g_discovery_audio.h"
#include "trace.h"
#include "volume.h"
#include "wiring.h"

namespace {

using boardtest::note;

// In the child: a named point in the trace.
void step(const std::string& name) { simtrace::Event("step").str("name", name); }

// Runs `body` in a task of the main loop's priority after `prepare` (chip content, other
// tasks) has run in the main context; the console is up.
boardtest::Result onBoard(std::function<void()> body, std::function<void()> prepare = {}) {
  return boardtest::inFirmwareTask(body, 2 * simk::kS, prepare);
}

// In the child: puts `record` at address 0 of the chip.
void storeOnChip(const SramDataStruct& record) { simsram::write(0, &record, sizeof record); }

// What the board saw, one line each: "codec 0026=0154", "mute 1", "sram write 16660" and
// "step NAME".
std::string busLog(const std::string& trace) {
  static const std::regex codec(R"re("ev":"codec","reg":(\d+),"val":(\d+))re");
  static const std::regex mute(R"re("ev":"codec","mute":(true|false))re");
  static const std::regex sram(R"re("ev":"sram","op":"(\w+)","bytes":(\d+))re");
  static const std::regex stepName(R"re("ev":"step","name":"([^"]*)")re");
  std::istringstream in(trace);
  std::string line, out;
  std::smatch m;
  char buf[32];
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, codec)) {
      std::snprintf(buf, sizeof buf, "codec %04X=%04X", std::stoi(m[1]), std::stoi(m[2]));
      out += std::string(buf) + "\n";
    } else if (std::regex_search(line, m, mute)) {
      out += std::string("mute ") + (m[1] == "true" ? "1" : "0") + "\n";
    } else if (std::regex_search(line, m, sram)) {
      out += "sram " + m[1].str() + " " + m[2].str() + "\n";
    } else if (std::regex_search(line, m, stepName)) {
      out += "step " + m[1].str() + "\n";
    }
  }
  return out;
}

// The lines of `log` after "step from" and before the next step.
std::string atStep(const std::string& log, const std::string& from) {
  const std::string marker = "step " + from + "\n";
  const size_t start = log.find(marker);
  if (start == std::string::npos) return "(no step " + from + ")";
  const size_t begin = start + marker.size();
  const size_t end = log.find("step ", begin);
  return log.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

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
  auto r = onBoard(
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
  auto r = onBoard(
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
      [] { storeOnChip(sampleRecord()); });
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
  auto r = onBoard(
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
      [] { storeOnChip(sampleRecord()); });
  EXPECT_EQ(r.notes,
            "[5][2] track 9 position 24576\n"
            "16 selects slot 0: track 7\n"
            "a new root folder starts at subfolder 0\n"
            "root 300 is taken as 0\n"
            "stored track 4 position field 15\n");
}

TEST(SettingsStore, OutOfRangeFieldsAreRepairedOnLoad) {
  auto r = onBoard(
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
        storeOnChip(rec);
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
  auto r = onBoard(
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
  auto r = onBoard([] {
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
  auto r = onBoard([] {
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
  auto r = onBoard([] { vTaskDelay(200); },
                   [] {
                     xTaskCreate(
                         [](void*) {
                           for (int i = 0;; ++i) settings().setEqualizer(i % 25, 3, 4, 5, 6);
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

// ---- The board models behind the settings: the serial SRAM chip on SPI2 with its modes and
// timing, the codec's register file and the control bus it shares.

// The bus as the firmware's driver sets it up, without the driver.
SPI_HandleTypeDef& bus() {
  static SPI_HandleTypeDef h = {};
  if (h.State == HAL_SPI_STATE_READY) return h;
  GPIO_InitTypeDef cs = {};
  cs.Pin = GPIO_PIN_8;
  cs.Mode = GPIO_MODE_OUTPUT_PP;
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
  HAL_GPIO_Init(GPIOA, &cs);
  h.Instance = SPI2;
  h.Init.Mode = SPI_MODE_MASTER;
  h.Init.DataSize = SPI_DATASIZE_8BIT;
  h.Init.NSS = SPI_NSS_SOFT;
  h.Init.BaudRatePrescaler = SPI_BAUDRATEPRESCALER_4;
  if (HAL_SPI_Init(&h) != HAL_OK) note("SPI set-up refused");
  return h;
}

// One chip-select cycle: `out` is sent, what came back is returned.
std::vector<uint8_t> transfer(std::vector<uint8_t> out) {
  std::vector<uint8_t> in(out.size());
  SPI_HandleTypeDef& spi = bus();
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
  if (HAL_SPI_TransmitReceive(&spi, out.data(), in.data(), out.size(), 5000) != HAL_OK) {
    note("transfer refused");
  }
  HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
  return in;
}

std::string hex(const std::vector<uint8_t>& bytes, size_t from = 0) {
  std::string s;
  char b[4];
  for (size_t i = from; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, "%02X", bytes[i]);
    s += (s.empty() ? "" : " ") + std::string(b);
  }
  return s;
}

std::string chip(uint32_t address, size_t n) {
  std::vector<uint8_t> bytes(n);
  simsram::read(address, bytes.data(), n);
  return hex(bytes);
}

boardtest::Result inMain(std::function<void()> body) {
  boardtest::Options o;
  o.duration = simk::kS;
  return boardtest::run(
      [&] {
        boardtest::firmwareClocks();
        body();
        simk::endRun(0, "");
      },
      o);
}

TEST(SerialSram, ModesMoveTheAddressAsTheChipDoes) {
  auto r = inMain([] {
    note("power-up mode " + hex(transfer({0x05, 0}), 1));
    // Sequential: through the array, wrapping at its end; the address's upper bits are ignored.
    transfer({0x02, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4});
    note("sequential " + chip(0x1FFFE, 2) + " | " + chip(0, 2));
    note("read back " + hex(transfer({0x03, 0x01, 0xFF, 0xFE, 0, 0, 0, 0}), 4));
    // Page: within the 32-byte page.
    transfer({0x01, 0x80});
    note("page mode " + hex(transfer({0x05, 0}), 1));
    transfer({0x02, 0x00, 0x01, 0x3E, 5, 6, 7});
    note("page " + chip(0x13E, 2) + " | " + chip(0x120, 2) + " | next page " + chip(0x140, 1));
    // Byte: one data byte per transfer.
    transfer({0x01, 0x00});
    transfer({0x02, 0x00, 0x02, 0x00, 8, 9});
    note("byte " + chip(0x200, 2) + " read " + hex(transfer({0x03, 0x00, 0x02, 0x00, 0, 0}), 4));
    // Another instruction, or chip select high, gives nothing.
    note("unknown " + hex(transfer({0x3B, 0, 0, 0, 0}), 1));
  });
  EXPECT_EQ(r.notes,
            "power-up mode 40\n"
            "sequential 01 02 | 03 04\n"
            "read back 01 02 03 04\n"
            "page mode 80\n"
            "page 05 06 | 07 00 | next page 00\n"
            "byte 08 00 read 08 FF\n"
            "unknown FF FF FF FF\n");
  // Data phases only, counted in bytes.
  EXPECT_EQ(busLog(r.trace),
            "sram write 4\nsram read 4\nsram write 3\nsram write 2\nsram read 2\n");
}

TEST(SerialSram, TheRecordTakesItsTimeAtTheSpiClock) {
  auto r = inMain([] {
    std::vector<uint8_t> record(16660);
    uint8_t header[4] = {0x02, 0, 0, 0};
    bus();
    const simk::Time t0 = simk::now();
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
    HAL_SPI_Transmit(&bus(), header, 4, 5000);
    HAL_SPI_Transmit(&bus(), record.data(), record.size(), 5000);
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
    const simk::Time t1 = simk::now();
    header[0] = 0x03;
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_RESET);
    HAL_SPI_Transmit(&bus(), header, 4, 5000);
    HAL_SPI_Receive(&bus(), record.data(), record.size(), 5000);
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_8, GPIO_PIN_SET);
    const simk::Time t2 = simk::now();
    note("write " + std::to_string((t1 - t0) / simk::kUs) + " us, read " +
         std::to_string((t2 - t1) / simk::kUs) + " us");
  });
  // 12.5 MHz: 0.64 us a byte back to back; reads wait for each byte (10 bit times).
  EXPECT_EQ(r.notes, "write 10664 us, read 13330 us\n");
}

TEST(Codec, ResetValuesChipIdAndResetByRegisterZero) {
  auto r = inMain([] {
    note("id " + std::to_string(wm8994_ReadID(AUDIO_I2C_ADDRESS)) + " muted " +
         std::to_string(simcodec::muted()));
    wm8994_SetMute(AUDIO_I2C_ADDRESS, AUDIO_MUTE_OFF);
    AUDIO_IO_Write(AUDIO_I2C_ADDRESS, 0x0480, 0x1234);
    AUDIO_IO_Write(0x36, 0x0480, 0x5678);  // nobody there
    note("eq " + std::to_string(simcodec::reg(0x0480)) + " muted " +
         std::to_string(simcodec::muted()));
    const simk::Time t0 = simk::now();
    wm8994_Reset(AUDIO_I2C_ADDRESS);
    note("a write takes " + std::to_string((simk::now() - t0) / simk::kUs) + " us");
    note("after reset eq " + std::to_string(simcodec::reg(0x0480)) + " " +
         std::to_string(simcodec::reg(0x0481)) + " volume " +
         std::to_string(simcodec::reg(0x0026)) + " boost " + std::to_string(simcodec::reg(0x0025)) +
         " 3d " + std::to_string(simcodec::reg(0x0421)) + " muted " +
         std::to_string(simcodec::muted()) + ", writes " + std::to_string(simcodec::writeCount()));
  });
  EXPECT_EQ(r.notes,
            "id 35220 muted 1\n"
            "eq 4660 muted 0\n"
            "a write takes 470 us\n"
            "after reset eq 25368 25344 volume 121 boost 320 3d 16 muted 1, writes 4\n");
  EXPECT_EQ(busLog(r.trace),
            "codec 0420=0010\nmute 0\ncodec 0422=0010\ncodec 0480=1234\ncodec 0000=0000\n"
            "mute 1\n");
}

// The codec's control bus is shared (the touch controller joins it): each device answers at
// its own address, and a transfer started while another one is on the bus fails instead of
// interleaving with it.
TEST(ControlBus, DevicesAnswerAtTheirAddressesAndTransfersNeverInterleave) {
  struct Other : simhal::I2cDevice {
    void write(uint16_t reg, const uint8_t* data, size_t n) override {
      note("other: write " + std::to_string(reg) + " " + std::to_string(n) + " at " +
           std::to_string(simk::now() / simk::kUs) + " us " + std::to_string(data[0]));
    }
    void read(uint16_t reg, uint8_t* out, size_t n) override {
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(reg + i);
    }
  };
  auto r = inMain([] {
    static Other other;
    simhal::attachI2cDevice(simboard::kControlBus, 0x70, &other);
    // Half-way through a codec write, an interrupt wants the other device.
    simk::schedule(200 * simk::kUs, 0, [] {
      uint8_t b[2];
      const auto res = simhal::i2cMemRead(simboard::kControlBus, 0x70, 1, 1, b, 2);
      note(std::string("interrupt: ") + (res == simhal::I2cResult::Busy ? "busy" : "sent"));
    });
    AUDIO_IO_Write(AUDIO_I2C_ADDRESS, 0x0480, 0x1234);
    const uint8_t one = 7;
    simhal::i2cMemWrite(simboard::kControlBus, 0x70, 0x42, 1, &one, 1);
    uint8_t b[2];
    simhal::i2cMemRead(simboard::kControlBus, 0x70, 0x10, 1, b, 2);
    const simk::Time t0 = simk::now();
    const uint16_t nobody = AUDIO_IO_Read(0x72, 0);
    note("read " + std::to_string(b[0]) + "," + std::to_string(b[1]) +
         "; nobody at 0x72: " + std::to_string(nobody) + " after " +
         std::to_string((simk::now() - t0) / simk::kUs) + " us");
  });
  // 470 us for the codec's write; the other device's write (start, 3 bytes, stop) takes 290 us.
  EXPECT_EQ(r.notes,
            "interrupt: busy\nother: write 66 1 at 760 us 7\n"
            "read 16,17; nobody at 0x72: 65535 after 110 us\n");
  EXPECT_EQ(busLog(r.trace), "codec 0480=1234\n");
  EXPECT_NE(r.trace.find(R"("ev":"i2c","bus":3,"addr":112,"error":"busy")"), std::string::npos);
}

}  // namespace
