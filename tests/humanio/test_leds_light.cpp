// The LED chain driver, the display dimming, the light sensor and the status LED on fresh
// boards: what the chain decodes, how long the backlight is on, what the LEDs show.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "WS2811.h"
#include "backlight.h"
#include "dim.h"
#include "humanio_firmware.h"
#include "ldr.h"
#include "led.h"
#include "ws2811_chain.h"

namespace {

using boardtest::note;
using humaniotest::coloursAt;
using humaniotest::events;
using humaniotest::field;
using humaniotest::inTask;

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
  auto r = humaniotest::firmware(3 * simk::kS);
  // At start: all dark, then LED 0 at full brightness in its first colour (lum 512 / 4) and
  // LED 1 blue for "no stick", as the main loop sets it on its first turn (lum 512 / 4).
  const auto leds = events(r.trace, "leds");
  ASSERT_GE(leds.size(), 5u);
  EXPECT_EQ(humaniotest::colours(leds[0]), "0,0,0 0,0,0 0,0,0");
  EXPECT_EQ(coloursAt(r.trace, 1000000), "128,0,0 0,0,128 0,0,0");
  // After 40 passes of 50 ms the countdown has moved one step towards the third colour.
  EXPECT_EQ(coloursAt(r.trace, 2900000), "127,0,1 0,0,128 0,0,0");
  // The table goes out every 200 ticks at least.
  for (size_t i = 1; i < leds.size(); ++i) EXPECT_LE(leds[i].us - leds[i - 1].us, 400001u);
  EXPECT_EQ(events(r.trace, "backlight").size(), 1u);  // full brightness all along
}

TEST(Leds, ADarkRoomDimsTheDisplayAndTheLeds) {
  auto r = humaniotest::firmware(2 * simk::kS, [] { simboard::setLight(3500); });
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
