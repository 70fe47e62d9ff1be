// Human I/O of the firmware on fresh boards: the LED chain driver, the display dimming, the
// light sensor and the status LED (what the chain decodes, how long the backlight is on, what
// the LEDs show); the volume knob, the keys, the mono switch, the parents' settings at start-up
// and the switch-off (by key, by inactivity, with a latch that fails).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FreeRTOS.h"
#include "WS2811.h"
#include "audioSettings.h"
#include "backlight.h"
#include "cpp_freertos/semaphore.hpp"
#include "dim.h"
#include "firmware_board.h"
#include "gui/User/modelUserData.h"
#include "humanIo.h"
#include "humanio_board.h"
#include "ldr.h"
#include "led.h"
#include "parentsSettings.h"
#include "singleton.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "task.h"
#include "usart1.h"
#include "volume.h"
#include "ws2811_chain.h"

namespace humaniotest {
namespace {

// `body` in a task of priority 4 with the clocks and the console up; `prepare` runs first in
// the main context. The run ends when the body returns.
boardtest::Result inTask(const std::function<void()>& body, simk::Time duration = 2 * simk::kS,
                         const std::function<void()>& prepare = {}) {
  return boardtest::inFirmwareTask(body, duration, prepare);
}

// The settings loaded, then "LedThread" and "HumanInputTask" started as the main application
// does, with the user-request queue of the screens; then `body` with the human-input object,
// in a task of the main loop's priority. The run ends at `duration` (or at a power-off when
// `latch` wires the power latch).
boardtest::Result humanIo(const std::function<void(HumanIO&)>& body, simk::Time duration,
                          bool latch = false, const std::function<void()>& prepare = {}) {
  return inTask(
      [&] {
        Singleton<_AudioSettings>::Instance().init();
        auto* io = new HumanIO();
        io->led.continueThread = new cpp_freertos::BinarySemaphore();
        io->led.Start();
        io->Start();
        body(*io);
        for (;;) vTaskDelay(1000);
      },
      duration,
      [&] {
        if (latch) simboard::wirePowerLatch();
        guiQueueModelUserEvent = new cpp_freertos::Queue(5, sizeof(ModelUserEvent));
        if (prepare) prepare();
      });
}

using boardtest::note;
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
  auto r = firmware(2 * kS, [] {
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
  auto r = firmware(3 * kS, [] {
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
  auto r = firmware(3 * kS, [] {
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
  auto r = humanIo(
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
  auto r = humanIo(
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
  auto r = humanIo(
      [](HumanIO&) {
        simboard::setKey(simboard::Key::Parents, true);
        vTaskDelay(500);  // 20 passes into a queue of 5
        note(std::to_string(guiQueueModelUserEvent->NumItems()));
      },
      2 * kS);
  EXPECT_EQ(r.notes, "5\n");
}

TEST(PowerOff, WithAFailedLatchTheBoardStaysOnAndNothingRepeats) {
  auto r = firmware(
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
  auto r = firmware(260 * kS, [] { noteStoredVolumeAtEnd(); });
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
  auto r = humanIo(
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

// ---- LEDs, dimming and the light sensor

std::string values(const uint16_t* v, int from, int count) {
  std::string out;
  for (int i = from; i < from + count; ++i) out += std::to_string(v[i]) + " ";
  return out;
}

std::string repeat(const std::string& v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += v + " ";
  return out;
}

std::string chain() {
  std::string out;
  for (const auto& c : simws2811::colours()) {
    out += std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " ";
  }
  return out;
}

// The first use sends seventy-two zero bits between two reset gaps; an update while that burst
// runs leaves the buffer and is dropped; the next sends each LED blue, red, green, the most
// significant bit first (the LED the dropped update set goes out with it).
TEST(Ws2811, EachLedGoesOutBlueRedGreenAndAnUpdateDuringABurstIsDropped) {
  auto r = inTask([] {
    Ws2811& ws = Singleton<Ws2811>::Instance();  // the dark frame is on its way
    note("busy " + std::to_string(ws.dma_busy.load()));
    std::vector<uint16_t> before(ws.framebuffer, ws.framebuffer + Ws2811::WS2811_FRAMEBUF_LEN);
    ws.LEDs[1].set(7, 8, 9);
    ws.updateLED();
    note(std::memcmp(before.data(), ws.framebuffer, before.size() * 2) == 0 ? "untouched"
                                                                            : "overwritten");
    vTaskDelay(1);
    std::string wire;
    for (uint32_t v : simws2811::lastBurst()) wire += std::to_string(v) + " ";
    note("busy " + std::to_string(ws.dma_busy.load()) + ", sent " + wire);
    note(std::to_string(simws2811::bursts()) + " " + chain());
    ws.LEDs[0].set(255, 0, 1);
    ws.LEDs[2].set(0x12, 0x34, 0x56);
    ws.updateLED();
    note(values(ws.framebuffer, 30, 8) + "| " + values(ws.framebuffer, 38, 8) + "| " +
         values(ws.framebuffer, 46, 8));
    vTaskDelay(1);
    note(std::to_string(simws2811::bursts()) + " " + chain());
  });
  EXPECT_EQ(r.notes, "busy 1\nuntouched\nbusy 0, sent " + repeat("0", 30) + repeat("30", 72) +
                         repeat("0", 30) + "\n1 0,0,0 0,0,0 0,0,0 \n" + repeat("30", 7) + "80 | " +
                         repeat("80", 8) + "| " + repeat("30", 8) +
                         "\n2 255,0,1 7,8,9 18,52,86 \n");
  EXPECT_EQ(events(r.trace, "leds").size(), 2u);
  EXPECT_NE(r.trace.find(R"("ev":"leds","rgb":[[255,0,1],[7,8,9],[18,52,86]])"), std::string::npos);
}

// The dimmer at `level`, measured over the periods that follow.
std::string dimmed(const std::vector<uint16_t>& levels) {
  static std::vector<uint16_t> steps;
  steps = levels;
  auto r = inTask([] {
    static DimBacklight dimmer;
    if (!dimmer.init()) note("init failed");
    for (uint16_t level : steps) {
      dimmer.setLevel(level);
      vTaskDelay(10);  // 20 ms: several periods of 5.13 ms
      note(std::to_string(level) + ": " + std::to_string(simbacklight::highUpdates()) + "/" +
           std::to_string(simbacklight::periodUpdates()) + " " +
           std::to_string(simbacklight::duty()));
    }
  });
  std::string out = r.notes;
  for (const auto& e : events(r.trace, "backlight"))
    out += std::to_string(field(e.line, "duty")) + " ";
  // The line's changes are the model's to report, not single `gpio` events.
  if (r.trace.find(R"("gpio","port":"K")") != std::string::npos) out += "(PK3 traced)";
  return out;
}

TEST(Dimming, OnForLevelOfEach512InterruptTicks) {
  EXPECT_EQ(dimmed({256, 5, 512, 0}),
            "256: 256/512 500\n5: 5/512 10\n512: 512/512 1000\n0: 0/512 0\n0 500 10 1000 0 ");
}

TEST(Dimming, ANewLevelTakesEffectWithinOnePeriod) {
  auto r = inTask([] {
    static DimBacklight dimmer;
    (void)dimmer.init();
    dimmer.setLevel(300);  // the first period starts with the line as it is: off
    vTaskDelay(10);
    dimmer.setLevel(100);
    vTaskDelay(5);
  });
  std::vector<long> high;
  for (const auto& e : events(r.trace, "backlight")) high.push_back(field(e.line, "high"));
  // Connected dark, then periods at 300, then at once 100.
  EXPECT_EQ(high, (std::vector<long>{-1, 300, 100})) << r.trace;
}

// Only the low 16 bits of the average count; the first reading starts the average, later
// ones move it by 1/200 of the difference.
TEST(LightSensor, FilteredReadingGivesTheBrightness) {
  const std::pair<unsigned, int> brightness[] = {{0, 512},    {999, 512},         {1000, 506},
                                                 {2000, 256}, {3000, 6},          {3001, 5},
                                                 {4095, 5},   {65536 + 2000, 256}};
  for (const auto& [average, lum] : brightness) EXPECT_EQ(Ldr::lumOf(average), lum) << average;
  EXPECT_EQ(Ldr::filter(0, 3000), 3000u);
  EXPECT_EQ(Ldr::filter(1000, 3000), 1010u);
  EXPECT_EQ(Ldr::filter(3000, 1000), 2990u);
}

TEST(LightSensor, ASaturatedFirstReadingCountsAsBright) {
  auto r = inTask(
      [] {
        static Ldr ldr;
        if (!ldr.init()) note("adc refused");
        ldr.start();
        vTaskDelay(1);
        const uint16_t first = ldr.measure();
        note(std::to_string(first) + " " + std::to_string(ldr.average));
        simboard::setLight(4090);
        vTaskDelay(1);
        const uint16_t second = ldr.measure();
        note(std::to_string(second) + " " + std::to_string(ldr.average));
      },
      2 * simk::kS, [] { simboard::setLight(4095); });
  EXPECT_EQ(r.notes, "512 200\n512 219\n");
}

TEST(StatusLed, SecondLedShowsTheStateAtAQuarterOfTheBrightness) {
  auto r = inTask([] {
    static Led led;
    color& second = Singleton<Ws2811>::Instance().LEDs[1];
    auto shown = [&] {
      return std::to_string(second.red.load()) + "," + std::to_string(second.green.load()) + "," +
             std::to_string(second.blue.load());
    };
    led.lum = 512;
    led.setStatus(1);
    note(shown());
    led.lum = 5;
    led.setStatus(1);
    note(shown());
    led.setStatus(2);
    note(shown());
    led.lum = 10;
    led.setStatus(0);
    note(shown());
    led.setStatus(7);
    note(shown());
  });
  EXPECT_EQ(r.notes, "128,0,0\n1,0,0\n0,1,0\n0,0,2\n0,0,0\n");
}

TEST(Leds, TheChainShowsTheCountdownAndTheStatusTheFirmwareSet) {
  auto r = firmware(3 * simk::kS);
  // At start: all dark, then LED 0 at full brightness in its first colour (lum 512 / 4) and
  // LED 1 blue for "no stick", as the main loop sets it on its first turn (lum 512 / 4).
  const auto leds = events(r.trace, "leds");
  ASSERT_GE(leds.size(), 5u);
  EXPECT_EQ(colours(leds[0]), "0,0,0 0,0,0 0,0,0");
  EXPECT_EQ(coloursAt(r.trace, 1000000), "128,0,0 0,0,128 0,0,0");
  // After 40 passes of 50 ms the countdown has moved one step towards the third colour.
  EXPECT_EQ(coloursAt(r.trace, 2900000), "127,0,1 0,0,128 0,0,0");
  // The table goes out every 200 ticks at least.
  for (size_t i = 1; i < leds.size(); ++i) EXPECT_LE(leds[i].us - leds[i - 1].us, 400001u);
  EXPECT_EQ(events(r.trace, "backlight").size(), 1u);  // full brightness all along
}

TEST(Leds, ADarkRoomDimsTheDisplayAndTheLeds) {
  auto r = firmware(2 * simk::kS, [] { simboard::setLight(3500); });
  const auto backlight = events(r.trace, "backlight");
  ASSERT_EQ(backlight.size(), 2u) << r.trace;
  EXPECT_EQ(field(backlight[1].line, "duty"), 10);
  EXPECT_EQ(field(backlight[1].line, "high"), 5);
  EXPECT_EQ(field(backlight[1].line, "period"), 512);
  // The first pass finds no conversion finished yet; the next pass (woken early by the main
  // loop's status change, at the latest 200 ticks later) reads the room and dims at once (a
  // first reading starts the filter).
  EXPECT_GT(backlight[1].us - backlight[0].us, 0u);
  EXPECT_LT(backlight[1].us - backlight[0].us, 450000u);
  // LED 1 keeps the colour the main loop set before the room was read.
  EXPECT_EQ(coloursAt(r.trace, 1900000), "1,0,0 0,0,128 0,0,0");
}

}  // namespace
}  // namespace humaniotest
