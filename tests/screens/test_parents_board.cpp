// The parents' and equaliser screens in the whole firmware, with a settings record on the chip
// at power-on: what the parent sees on the sliders and the toggle (the panel's picture), the
// settings requests the screens send (each with its whole record), what reaches the codec,
// and what the chip keeps.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "FreeRTOS.h"
#include "inputs.h"
#include "panel.h"
#include "screens_board.h"
#include "simgfx.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "stick.h"
#include "touch_panel.h"

namespace screenstest {
namespace {

using boardtest::grep;
using boardtest::note;

constexpr simk::Time kMs = simk::kMs;
constexpr simk::Time kS = simk::kS;

// A slider as the parent sees it: left edge, top, and how far its indicator runs.
struct Place {
  const char* name;
  int x, y, travel;
};
constexpr Place kMaxVol{"maxvol", 11, 38, 285}, k3d{"3d", 102, 38, 125},
    kBoost{"boost", 178, 38, 125}, kBand3{"band3", 119, 50, 285};

std::uint32_t pixel(const std::vector<std::uint8_t>& rgb, int x, int y) {
  const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * simdisplay::kWidth + x) * 3];
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

// In the child, from the panel's picture: "NAME at Y" for each slider, Y the middle row of its
// indicator (26 below the indicator's top) in a column left of the groove, where only the
// indicator covers the purple; on the parents' screen then "toggle on" (blue, knob right) or
// "toggle off" (grey, knob left).
void noteWhatTheParentSees(std::initializer_list<Place> sliders) {
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  for (const Place& s : sliders) {
    int first = -1, last = -1;
    for (int y = s.y; y < s.y + s.travel + 54; ++y) {
      if (pixel(rgb, s.x + 4, y) == 0x762476) continue;
      if (first < 0) first = y;
      last = y;
    }
    note(std::string(s.name) + " at " + std::to_string((first + last) / 2));
  }
  if (std::string(simgfx::screenName()) != "Eltern") return;
  const std::uint32_t middle = pixel(rgb, 191, 272), left = pixel(rgb, 146, 280),
                      right = pixel(rgb, 235, 280);
  const bool blue = (middle & 0xFF) > (middle >> 16) + 60;
  note(blue && right == 0xFFFFFF && left != 0xFFFFFF    ? "toggle on"
       : !blue && left == 0xFFFFFF && right != 0xFFFFFF ? "toggle off"
                                                        : "toggle unclear");
}

// In the child: "chip " and the settings the chip holds.
void noteChip() {
  SramDataStruct d;
  simsram::read(0, &d, sizeof d);
  ModelParentsSettings s;
  s.maxVolume = d.maxVolume;
  s.effect3d = d.effect3d;
  s.spkBoost = d.spkBoost;
  for (int band = 0; band < 5; ++band) s.equalizer[band] = d.equalizer[band];
  s.positionResume = d.positionResume != 0;
  note("chip " + parentSettingsText(s));
}

// The records of the settings requests noted between the notes `from` and `to`.
std::vector<std::string> sent(const std::string& notes, const std::string& from,
                              const std::string& to = "end") {
  const std::size_t begin = notes.find(from + "\n"), end = notes.find(to + "\n");
  std::istringstream in(grep(notes.substr(begin, end - begin), "BTN_ParentSettingsChanged"));
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line.substr(line.find("maxvol=")));
  return out;
}

// The values written to codec register `reg` in [from, to).
std::vector<int> codecWrites(const std::string& trace, int reg, simk::Time from, simk::Time to) {
  static const std::regex write(R"re(\{"t":(\d+),"ev":"codec","reg":(\d+),"val":(\d+))re");
  std::vector<int> values;
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), write);
       it != std::sregex_iterator(); ++it) {
    const simk::Time t = std::stoull((*it)[1]) * 1000;
    if (t >= from && t < to && std::stoi((*it)[2]) == reg) values.push_back(std::stoi((*it)[3]));
  }
  return values;
}

// A parent's session, the chip holding maximum volume 70 (written by another firmware: the
// record check makes it 63), 3D 20, boost 0, a shaped equaliser and resume off. Each step is
// marked in the notes (and its time in the trace).
TEST(ParentsBoard, AParentSetsEverySettingOnTheScreens) {
  const auto r = runFirmware(
      [] {
        static SramDataStruct record;
        setDefaultRecord(record);
        record.maxVolume = 70;
        record.currentVolume = 60;
        record.effect3d = 20;
        const uint8_t eq[5] = {4, 8, 12, 16, 20};
        std::copy(eq, eq + 5, record.equalizer);
        simsram::write(0, &record, sizeof record);
        simusb::insert(stickWith({"A", "B", "C"}));
        auto step = [](simk::Time t, const char* name, std::function<void()> fn) {
          at(t, [name, fn] {
            note(name);
            fn();
          });
        };
        step(2 * kS, "key", [] { simboard::setKey(simboard::Key::Parents, true); });
        at(2100 * kMs, [] { simboard::setKey(simboard::Key::Parents, false); });
        at(2900 * kMs, [] { noteWhatTheParentSees({kMaxVol, k3d, kBoost}); });
        step(3 * kS, "drag", [] { simtouch::drag(195, 190, 195, 50, 600 * kMs); });
        step(4 * kS, "toggle", [] { simtouch::tap(191, 281); });
        at(4900 * kMs, [] { noteWhatTheParentSees({kBoost}); });
        step(5 * kS, "equaliser", [] { simtouch::tap(187, 330); });
        step(5500 * kMs, "band 3", [] { simtouch::tap(136, 124); });  // to 20: +8 dB
        at(5900 * kMs, [] { noteWhatTheParentSees({kBand3}); });
        step(6 * kS, "back", [] { simtouch::tap(187, 450); });
        step(7 * kS, "knob", [] { simboard::turn(10); });
        step(7500 * kMs, "end", noteChip);
      },
      7600 * kMs);
  EXPECT_EQ(grep(r.notes, "dropped"), "");
  EXPECT_EQ(screens(r).substr(screens(r).find("Main")), "Main\nEltern\nEltern\nEQ\nEltern\n");

  // The key: maximum volume at the top, 3D 20 at 44 of its 125 pixels down, boost 0 at the
  // bottom, resume off; the stored values go back unchanged.
  EXPECT_EQ(grep(r.notes, " at ") + grep(r.notes, "toggle "),
            "maxvol at 64\n3d at 108\nboost at 189\nboost at 64\nband3 at 123\n"
            "toggle off\ntoggle on\n");
  for (const std::string& s : sent(r.notes, "key", "drag")) {
    EXPECT_EQ(s, "maxvol=63 3d=20 boost=0 eq=4,8,12,16,20 resume=0");
  }

  // The drag: a request at every step, each the whole record with the boost under the finger,
  // rising to 7; register 0x0025 follows each (the code in both channels' fields).
  std::vector<int> boosts, expected;
  for (const std::string& s : sent(r.notes, "drag", "toggle")) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        s, m, std::regex(R"(maxvol=63 3d=20 boost=(\d) eq=4,8,12,16,20 resume=0)")))
        << s;
    boosts.push_back(std::stoi(m[1]));
    expected.push_back(0x0140 | (boosts.back() << 3) | boosts.back());
  }
  ASSERT_GE(boosts.size(), 10u);
  EXPECT_EQ(boosts.front(), 0);
  EXPECT_EQ(boosts.back(), 7);
  EXPECT_TRUE(std::is_sorted(boosts.begin(), boosts.end()));
  EXPECT_EQ(codecWrites(r.trace, 0x0025, 3 * kS, 4 * kS), expected);

  // The toggle: one request, only the resume changed.
  const std::string after = "maxvol=63 3d=20 boost=7 eq=4,8,12,16,20 resume=1";
  EXPECT_EQ(sent(r.notes, "toggle", "equaliser"), std::vector<std::string>{after});

  // The equaliser sends its five bands back; band 3 at 20 (the press and the lift each report
  // it) reaches bits 5..1 of register 0x0480, beside bands 1 and 2 and the enable bit 0.
  EXPECT_EQ(sent(r.notes, "equaliser", "band 3"), std::vector<std::string>(5, after));
  EXPECT_EQ(sent(r.notes, "band 3", "back"),
            std::vector<std::string>(2, "maxvol=63 3d=20 boost=7 eq=4,8,20,16,20 resume=1"));
  EXPECT_EQ(codecWrites(r.trace, 0x0480, 5500 * kMs, 6 * kS), std::vector<int>(2, 0x2229));
  EXPECT_EQ(codecWrites(r.trace, 0x0481, 5500 * kMs, 6 * kS), std::vector<int>(2, 0x8500));

  // "Back": the parents' screen whole in the first picture after the switch (no transition).
  const std::string frames = grep(r.trace.substr(r.trace.rfind(R"("ev":"screen")")), "frame");
  EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 1) << frames;

  // The knob turned far up: the codec's volume stops at 63; the chip keeps every setting.
  const std::vector<int> volume = codecWrites(r.trace, 0x0026, 7 * kS, 8 * kS);
  ASSERT_FALSE(volume.empty());
  EXPECT_EQ(*std::max_element(volume.begin(), volume.end()), 0x017F);
  EXPECT_EQ(volume.back(), 0x017F);
  EXPECT_EQ(grep(r.notes, "chip"), "chip maxvol=63 3d=20 boost=7 eq=4,8,20,16,20 resume=1\n");
}

// A PageParent record with maximum volume 70 as it stands: the slider shows its top and sends
// 63. Only the 3D slider's report, made before the maximum volume's slider is set, still
// carries 70 (the core takes it as 63).
TEST(ParentsBoard, APageParentWithMaximumVolume70ShowsTheTopAndSends63) {
  const auto r = runFirmware(
      [] {
        simusb::insert(stickWith({"A", "B", "C"}));
        at(2 * kS, [] {
          note("page");
          PageSelectEvent record;
          record.page = PageParent;
          record.modelParentsSettings = {7, {12, 12, 12, 12, 12}, 70, 0, false, true};
          BaseType_t woken = pdFALSE;
          (void)guiQueuePageSelect->EnqueueFromISR(&record, &woken);
          portYIELD_FROM_ISR(woken);
        });
        at(2800 * kMs, [] {
          noteWhatTheParentSees({kMaxVol});
          note("end");
        });
      },
      2900 * kMs);
  EXPECT_EQ(grep(r.notes, " at "), "maxvol at 64\n");
  std::vector<std::string> expected(6, "maxvol=63 3d=0 boost=7 eq=12,12,12,12,12 resume=0");
  expected[0] = "maxvol=70 3d=0 boost=7 eq=12,12,12,12,12 resume=0";
  EXPECT_EQ(sent(r.notes, "page"), expected);
}

}  // namespace
}  // namespace screenstest
