// The volume knob, the keys, the mono switch, the parents' settings at start-up and the
// switch-off (by key, by inactivity, with a latch that fails) on fresh boards.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "humanio_firmware.h"
#include "parentsSettings.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "volume.h"

namespace {

using boardtest::note;
using humaniotest::at;
using humaniotest::coloursAt;
using humaniotest::events;
using humaniotest::field;
using humaniotest::linesStarting;
using simk::kMs;
using simk::kS;

// A record on the chip: volume 20 of at most 50, boost 3, equaliser 1..5, 3D depth 9.
SramDataStruct storedRecord(uint8_t volume = 20) {
  SramDataStruct rec;
  setDefaultRecord(rec);
  rec.currentVolume = volume;
  rec.maxVolume = 50;
  rec.spkBoost = 3;
  for (uint8_t band = 0; band < 5; ++band) rec.equalizer[band] = band + 1;
  rec.effect3d = 9;
  return rec;
}

void storeOnChip(const SramDataStruct& rec) { simsram::write(0, &rec, sizeof rec); }

// Codec writes "reg=value" of the registers in `regs`, from `fromUs` on.
std::string codecWrites(const std::string& trace, const std::vector<long long>& regs,
                        std::uint64_t fromUs = 0) {
  std::string out;
  for (const auto& e : events(trace, "codec")) {
    const long long reg = field(e.line, "reg");
    if (e.us < fromUs || reg < 0) continue;
    for (long long wanted : regs) {
      if (reg == wanted)
        out += std::to_string(reg) + "=" + std::to_string(field(e.line, "val")) + " ";
    }
  }
  return out;
}

// At the end of the run: the volume the chip keeps.
void noteStoredVolumeAtEnd() {
  simk::addEndHook([](int) {
    SramDataStruct rec;
    simsram::read(0, &rec, sizeof rec);
    note("chip: version " + std::to_string(rec.versionOfConfiguation) + " volume " +
         std::to_string(rec.currentVolume));
  });
}

TEST(StartUp, StoredParentsSettingsReachTheCodecOnceInOrderAndTheKnobStartsAtTheVolume) {
  auto r = humaniotest::firmware(2 * kS, [] {
    storeOnChip(storedRecord());
    at(1 * kS, [] { simboard::turn(1); });
  });
  // Boost 3, equaliser bands 1..5 (switched on), 3D depth 9 with its enable bit.
  EXPECT_EQ(codecWrites(r.trace, {37, 1152, 1153, 1057}), "37=347 1152=2183 1153=8512 1057=4880 ");
  // No volume report before the knob moves; one step up from the stored 20.
  EXPECT_EQ(linesStarting(r.console, "Vol: "), "Vol: 21\n");
  EXPECT_EQ(codecWrites(r.trace, {38, 39}, 1000000), "38=341 39=341 ");
}

TEST(Knob, FourCountsAStepClampedAtBothEndsWithoutHiddenTravel) {
  auto r = humaniotest::firmware(3 * kS, [] {
    at(1000 * kMs, [] { simboard::turn(3); });
    at(1200 * kMs, [] { simboard::turn(100); });   // far past 63
    at(1400 * kMs, [] { simboard::turn(2); });     // at the top already: nothing
    at(1600 * kMs, [] { simboard::turn(-1); });    // one step down from the top at once
    at(1800 * kMs, [] { simboard::turn(-100); });  // through 0: the counter wraps below 0
    at(2000 * kMs, [] { note("counter " + std::to_string(TIM8->CNT)); });
    at(2200 * kMs, [] { simboard::turn(1); });
  });
  // A blank chip gives the codec the default settings, without a volume report; the knob
  // starts at the blank chip's volume, 40.
  EXPECT_EQ(codecWrites(r.trace, {37, 1152, 1153, 1057}), "37=383 1152=25369 1153=25344 1057=272 ");
  EXPECT_EQ(linesStarting(r.console, "Vol: "), "Vol: 43\nVol: 63\nVol: 62\nVol: 0\nVol: 1\n");
  EXPECT_EQ(r.notes, "counter 0\n");
  // Volume 0 mutes the codec (soft mute on); with nothing playing the next step up leaves it
  // muted (the output un-mutes it when it plays).
  EXPECT_EQ(codecWrites(r.trace, {1056}, 1800000), "1056=512 ");
  EXPECT_EQ(codecWrites(r.trace, {38}, 2200000), "38=321 ");
}

TEST(Knob, LoweringTheMaximumPullsTheVolumeAndShortensTheRange) {
  auto r = humaniotest::firmware(3 * kS, [] {
    SramDataStruct rec = storedRecord(50);
    rec.maxVolume = 63;
    storeOnChip(rec);
    // The parents' settings change as the screens would leave them, to be applied by the
    // human-input thread.
    at(1000 * kMs, [] {
      parentsSettings.maxVolume.current = 40;
      parentsSettings.changed.store(1);
    });
    at(1500 * kMs, [] {
      note("counter " + std::to_string(TIM8->CNT));
      simboard::turn(5);
    });
    at(2000 * kMs, [] {
      note("counter " + std::to_string(TIM8->CNT));
      simboard::turn(-1);
    });
  });
  // Volume 40 at once, 39 after the step down.
  EXPECT_EQ(codecWrites(r.trace, {38, 39}, 1000000), "38=360 39=360 38=359 39=359 ");
  EXPECT_EQ(r.notes, "counter 160\ncounter 160\n");
  EXPECT_EQ(linesStarting(r.console, "Vol: "), "Vol: 39\n");
}

TEST(Mono, TheSwitchSetsMonoPlaybackOnEveryPass) {
  auto r = humaniotest::humanIo(
      [](HumanIO&) {
        _AudioSettings& s = Singleton<_AudioSettings>::Instance();
        vTaskDelay(50);
        note(std::to_string(s.isMono()));
        simboard::setMono(true);
        vTaskDelay(50);
        note(std::to_string(s.isMono()));
      },
      1 * kS);
  EXPECT_EQ(r.notes, "0\n1\n");
}

TEST(Keys, TheParentsKeyHeldForASecondAsksForTheParentsScreenEveryPass) {
  auto r = humaniotest::humanIo(
      [](HumanIO&) {
        std::vector<TickType_t> when;
        ModelUserEvent e;
        while (xTaskGetTickCount() < 1500) {
          if (!guiQueueModelUserEvent->Dequeue(&e, 10)) continue;
          if (e.button == BTN_Parent && e.selectedMainFolder == 0 && e.parameter == 0 &&
              e.selectedPlaybackFolder == 0) {
            when.push_back(xTaskGetTickCount());
          }
        }
        std::string gaps;
        for (size_t i = 1; i < when.size(); ++i) {
          if (when[i] - when[i - 1] != 25) gaps += " " + std::to_string(when[i] - when[i - 1]);
        }
        note(std::to_string(when.size()) + " requests, irregular gaps:" + gaps);
      },
      4 * kS, false,
      [] {
        at(1005 * kMs, [] { simboard::setKey(simboard::Key::Parents, true); });
        at(2005 * kMs, [] { simboard::setKey(simboard::Key::Parents, false); });
      });
  // One request every pass of 25 ticks while the key is held: 20 in the second.
  EXPECT_EQ(r.notes, "20 requests, irregular gaps:\n");
  EXPECT_EQ(r.console.find("power off"), std::string::npos);
}

TEST(Keys, TheParentsKeyWithNobodyListeningLosesRequestsOnly) {
  auto r = humaniotest::humanIo(
      [](HumanIO&) {
        simboard::setKey(simboard::Key::Parents, true);
        vTaskDelay(500);  // 20 passes into a queue of 5
        note(std::to_string(guiQueueModelUserEvent->NumItems()));
      },
      2 * kS);
  EXPECT_EQ(r.notes, "5\n");
}

TEST(PowerOff, ThePowerKeySavesSaysPowerOffAndCutsTheSupplyWhenLetGo) {
  auto r = humaniotest::firmware(5 * kS, [] {
    noteStoredVolumeAtEnd();
    at(1000 * kMs, [] { simboard::turn(2); });
    at(1500 * kMs, [] { simboard::setKey(simboard::Key::Power, true); });
    at(1800 * kMs, [] { simboard::setKey(simboard::Key::Power, false); });
  });
  EXPECT_EQ(r.status, simpower::kPoweredOff);
  EXPECT_NE(r.console.find("power off\n"), std::string::npos);
  const auto power = events(r.trace, "power");
  ASSERT_EQ(power.size(), 1u);
  // Held until let go: the latch goes high at the first look after the release.
  EXPECT_GE(power[0].us, 1800000u);
  EXPECT_LT(power[0].us, 1851000u);
  EXPECT_NE(r.trace.find(R"("ev":"gpio","port":"A","pin":0,"level":1)"), std::string::npos);
  // The record with the new volume is on the chip before the supply goes.
  const auto writes = events(r.trace, "sram");
  ASSERT_FALSE(writes.empty());
  EXPECT_LT(writes.back().us, power[0].us);
  EXPECT_EQ(r.notes, "chip: version " + std::to_string(SRAM_VERSION) + " volume 42\n");
}

TEST(PowerOff, WithAFailedLatchTheBoardStaysOnAndNothingRepeats) {
  auto r = humaniotest::firmware(
      255 * kS,
      [] {
        at(1000 * kMs, [] { simboard::turn(1); });
        at(2000 * kMs, [] { simboard::setKey(simboard::Key::Power, true); });
        at(2100 * kMs, [] { simboard::setKey(simboard::Key::Power, false); });
        at(3000 * kMs, [] { simboard::setKey(simboard::Key::Power, true); });
        at(3100 * kMs, [] { simboard::setKey(simboard::Key::Power, false); });
      },
      false);
  EXPECT_EQ(r.status, 0);
  // Two key presses, then the inactivity switch-off once: not on every pass that follows.
  size_t said = 0;
  for (size_t at = r.console.find("power off\n"); at != std::string::npos;
       at = r.console.find("power off\n", at + 1)) {
    ++said;
  }
  EXPECT_EQ(said, 3u) << r.console;
  // The record went to the chip once: nothing changed it after the first switch-off.
  size_t writes = 0;
  for (const auto& e : events(r.trace, "sram")) writes += e.line.find("write") != std::string::npos;
  EXPECT_EQ(writes, 2u);  // both copies
  EXPECT_EQ(events(r.trace, "power").size(), 0u);
}

TEST(PowerOff, FiveThousandAndOneIdlePassesSwitchOffWhileTheFirstLedCountsDown) {
  auto r = humaniotest::firmware(260 * kS, [] { noteStoredVolumeAtEnd(); });
  EXPECT_EQ(r.status, simpower::kPoweredOff);
  EXPECT_NE(r.console.find("power off\n"), std::string::npos);
  const auto power = events(r.trace, "power");
  ASSERT_EQ(power.size(), 1u);
  // The input thread starts at 0.2 s; pass 5001 is 250.05 s later.
  EXPECT_GE(power[0].us, 250200000u);
  EXPECT_LT(power[0].us, 250400000u);
  EXPECT_EQ(r.notes, "chip: version " + std::to_string(SRAM_VERSION) + " volume 40\n");
  // LED 0 goes from its first colour to its third as the switch-off comes nearer.
  EXPECT_EQ(coloursAt(r.trace, 1000000).substr(0, 8), "128,0,0 ");
  const std::string half = coloursAt(r.trace, 125300000);
  EXPECT_EQ(half.substr(0, half.find(' ')), "65,0,63");
  const std::string last = coloursAt(r.trace, power[0].us);
  EXPECT_EQ(last.substr(0, last.find(' ')), "0,0,128");
}

TEST(PowerOff, ARequestOrPlaybackResetsTheCountdownColourAtOnce) {
  auto r = humaniotest::humanIo(
      [](HumanIO& io) {
        vTaskDelay(50010);  // 100 s: 2000 passes
        note(std::to_string(io.powerOffTimer.load()));
        io.powerOffReset();
      },
      101 * kS);
  EXPECT_EQ(r.notes, "2000\n");
  // Two fifths of the way: about 51 of 128 moved from the first colour to the third.
  int first = 0, second = 0, third = 0;
  ASSERT_EQ(std::sscanf(coloursAt(r.trace, 100000000).c_str(), "%d,%d,%d", &first, &second, &third),
            3);
  EXPECT_EQ(first + third, 128);
  EXPECT_EQ(second, 0);
  EXPECT_GE(third, 50);
  EXPECT_LE(third, 51);
  const std::string after = coloursAt(r.trace, 100900000);
  EXPECT_EQ(after.substr(0, after.find(' ')), "128,0,0");
}

}  // namespace
