// The parents' and equaliser screens in the whole firmware, with the settings record on the
// chip at power-on: what the parent sees on the sliders and the toggle (the panel's picture),
// the settings requests the screens send, what reaches the codec, and what the chip keeps.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "FreeRTOS.h"
#include "inputs.h"
#include "panel.h"
#include "screens_board.h"
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

// Where the parent touches, in the picture the child sees.
constexpr int kEqualizerX = 187, kEqualizerY = 330;  // "Equalizer"
constexpr int kBackX = 187, kBackY = 450;            // the equaliser's "Back"
constexpr int kToggleX = 191, kToggleY = 281;        // position resume

constexpr std::uint32_t kPurple = 0x762476;

// A slider's place: its left edge and top, and how far its indicator runs.
struct SliderPlace {
  const char* name;
  int x, y, travel;
};
constexpr SliderPlace kMaxVol{"maxvol", 11, 38, 285};
constexpr SliderPlace k3d{"3d", 102, 38, 125};
constexpr SliderPlace kBoost{"boost", 178, 38, 125};
constexpr SliderPlace kBand3{"band3", 119, 50, 285};

// In the child: the chip holds the default record with `change` made, before power-on.
void storeRecord(void (*change)(SramDataStruct&)) {
  static SramDataStruct record;
  setDefaultRecord(record);
  change(record);
  simsram::write(0, &record, sizeof record);
}

// In the child: the parents' key pressed at t, for as long as a person taps it.
void parentsKey(simk::Time t) {
  at(t, [] { simboard::setKey(simboard::Key::Parents, true); });
  at(t + 100 * kMs, [] { simboard::setKey(simboard::Key::Parents, false); });
}

std::vector<std::uint8_t> shownPicture() {
  std::vector<std::uint8_t> rgb(simdisplay::kPixels * 3);
  simdisplay::picture(rgb.data());
  return rgb;
}

std::uint32_t pixel(const std::vector<std::uint8_t>& rgb, int x, int y) {
  const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * simdisplay::kWidth + x) * 3];
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

// In the child: where the parent sees each slider's indicator, noted as "NAME at Y": the middle
// row of the indicator in a column left of the slider's groove, where only the indicator
// covers the purple.
void noteIndicators(std::initializer_list<SliderPlace> sliders) {
  const auto rgb = shownPicture();
  for (const SliderPlace& s : sliders) {
    int first = -1, last = -1;
    for (int y = s.y; y < s.y + s.travel + 54; ++y) {
      if (pixel(rgb, s.x + 4, y) == kPurple) continue;
      if (first < 0) first = y;
      last = y;
    }
    note(std::string(s.name) + " at " + std::to_string(first < 0 ? -1 : (first + last) / 2));
  }
}

// In the child: the toggle as the parent sees it: "toggle on" (blue, knob right), "toggle off"
// (grey, knob left).
void noteToggle() {
  const auto rgb = shownPicture();
  const std::uint32_t middle = pixel(rgb, 127 + 64, 262 + 10);
  const std::uint32_t left = pixel(rgb, 127 + 19, 262 + 18);
  const std::uint32_t right = pixel(rgb, 127 + 108, 262 + 18);
  const bool blue = (middle & 0xFF) > ((middle >> 16) & 0xFF) + 60;
  if (blue && right == 0xFFFFFF && left != 0xFFFFFF) {
    note("toggle on");
  } else if (!blue && left == 0xFFFFFF && right != 0xFFFFFF) {
    note("toggle off");
  } else {
    note("toggle unclear");
  }
}

// In the child: the settings the chip holds, noted as "chip " and the record's text.
void noteChip() {
  SramDataStruct record;
  simsram::read(0, &record, sizeof record);
  ModelParentsSettings s;
  s.maxVolume = record.maxVolume;
  s.effect3d = record.effect3d;
  s.spkBoost = record.spkBoost;
  for (int band = 0; band < 5; ++band) s.equalizer[band] = record.equalizer[band];
  s.positionResume = record.positionResume != 0;
  note("chip " + parentSettingsText(s));
}

// In the child: a PageParent record put into the model's queue, as the core sends it.
void sendParentPage(const ModelParentsSettings& settings) {
  PageSelectEvent record;
  record.page = PageParent;
  record.modelParentsSettings = settings;
  record.modelParentsSettings.changed = true;
  BaseType_t woken = pdFALSE;
  (void)guiQueuePageSelect->EnqueueFromISR(&record, &woken);
  portYIELD_FROM_ISR(woken);
}

// The settings requests among `notes`, each as its record's text.
std::vector<std::string> settingsRequests(const std::string& notes) {
  std::vector<std::string> out;
  std::istringstream in(grep(notes, "request BTN_ParentSettingsChanged"));
  std::string line;
  while (std::getline(in, line)) out.push_back(line.substr(line.find("maxvol=")));
  return out;
}

// The notes after the line `marker`.
std::string after(const std::string& notes, const std::string& marker) {
  const std::size_t at = notes.find(marker + "\n");
  return at == std::string::npos ? "" : notes.substr(at + marker.size() + 1);
}

// The values written to codec register `reg` from virtual time `from` until `to`.
std::vector<int> codecWrites(const std::string& trace, int reg, simk::Time from = 0,
                             simk::Time to = 3600 * kS) {
  static const std::regex write(R"re(\{"t":(\d+),"ev":"codec","reg":(\d+),"val":(\d+))re");
  std::vector<int> values;
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), write);
       it != std::sregex_iterator(); ++it) {
    const simk::Time t = std::stoull((*it)[1]) * 1000;
    if (t >= from && t < to && std::stoi((*it)[2]) == reg) {
      values.push_back(std::stoi((*it)[3]));
    }
  }
  return values;
}

const std::string& threeFolders() {
  static const std::string stick = stickWith({"A", "B", "C"});
  return stick;
}

// The parents' key opens the parents' screen on the stored settings: maximum volume 40 in the
// middle of its slider, 3D 31 at the top, boost 0 at the bottom (an indicator's middle is 26
// below its top, which runs down from the slider's top as the value falls), and the toggle on
// for the stored position resume. Entering sends the stored values back unchanged.
TEST(ParentsBoard, TheParentsKeyShowsTheStoredSettings) {
  const auto r = runFirmware(
      [] {
        storeRecord([](SramDataStruct& d) {
          d.maxVolume = 40;
          d.effect3d = 31;
          d.spkBoost = 0;
          d.positionResume = 1;
        });
        simusb::insert(threeFolders());
        parentsKey(2 * kS);
        at(3 * kS, [] {
          noteIndicators({kMaxVol, k3d, kBoost});
          noteToggle();
        });
      },
      3100 * kMs);
  EXPECT_EQ(screens(r).substr(screens(r).find("Main")), "Main\nEltern\nEltern\n");
  EXPECT_EQ(grep(r.notes, " at ") + grep(r.notes, "toggle"),
            "maxvol at 168\n3d at 64\nboost at 189\ntoggle on\n");
  const auto sent = settingsRequests(r.notes);
  ASSERT_FALSE(sent.empty());
  for (const std::string& s : sent) {
    EXPECT_EQ(s, "maxvol=40 3d=31 boost=0 eq=12,12,12,12,12 resume=1");
  }
}

// A maximum volume of 70 (a chip written by another firmware; the record check puts it back to
// 63 when it reads it), then a PageParent record that carries 70 as it stands: the slider
// shows its top and sends 63. Only the 3D slider's report, made before the maximum volume's
// slider is set, still carries 70 (the core takes it as 63). The knob turned far up gives the
// codec 63 at most, and the chip keeps 63.
TEST(ParentsBoard, AMaximumVolumeOf70ShowsTheTopAndSends63) {
  const auto r = runFirmware(
      [] {
        storeRecord([](SramDataStruct& d) {
          d.maxVolume = 70;
          d.currentVolume = 60;
          d.spkBoost = 7;
        });
        simusb::insert(threeFolders());
        parentsKey(2 * kS);
        at(2800 * kMs, [] { noteIndicators({kMaxVol}); });
        at(3 * kS, [] {
          note("page with 70");
          ModelParentsSettings s;
          s.maxVolume = 70;
          s.spkBoost = 7;
          for (int32_t& band : s.equalizer) band = 12;
          sendParentPage(s);
        });
        at(3800 * kMs, [] { noteIndicators({kMaxVol}); });
        at(4 * kS, [] { simboard::turn(10); });
        at(5 * kS, noteChip);
      },
      5100 * kMs);
  EXPECT_EQ(grep(r.notes, " at "), "maxvol at 64\nmaxvol at 64\n");
  const std::string flat = " 3d=0 boost=7 eq=12,12,12,12,12 resume=0";
  const auto fromKey = settingsRequests(r.notes.substr(0, r.notes.find("page with 70")));
  ASSERT_FALSE(fromKey.empty());
  for (const std::string& s : fromKey) EXPECT_EQ(s, "maxvol=63" + flat);
  std::vector<std::string> expected(6, "maxvol=63" + flat);
  expected[0] = "maxvol=70" + flat;
  EXPECT_EQ(settingsRequests(after(r.notes, "page with 70")), expected);

  const std::vector<int> volume = codecWrites(r.trace, 0x0026, 4 * kS);
  ASSERT_FALSE(volume.empty());
  EXPECT_EQ(volume.back(), 0x017F);
  for (int v : volume) EXPECT_LE(v, 0x017F);
  EXPECT_EQ(grep(r.notes, "chip"), "chip maxvol=63" + flat + "\n");
}

// Dragging the boost slider from its bottom to its top: a request at every step of the drag,
// each carrying the boost under the finger with the stored equaliser, maximum volume, 3D and
// position resume; the codec's boost register follows each one, and the chip keeps the last.
TEST(ParentsBoard, DraggingTheBoostSliderSendsAStreamOfWholeRecords) {
  const auto r = runFirmware(
      [] {
        storeRecord([](SramDataStruct& d) {
          d.spkBoost = 0;
          const uint8_t eq[5] = {4, 8, 12, 16, 20};
          for (int band = 0; band < 5; ++band) d.equalizer[band] = eq[band];
          d.maxVolume = 50;
          d.effect3d = 10;
          d.positionResume = 1;
        });
        simusb::insert(threeFolders());
        parentsKey(2 * kS);
        at(3 * kS, [] {
          note("drag");
          simtouch::drag(kBoost.x + 17, 190, kBoost.x + 17, 50, 600 * kMs);
        });
        at(4 * kS, [] {
          noteIndicators({kBoost});
          noteChip();
        });
      },
      4100 * kMs);
  EXPECT_EQ(grep(r.notes, "dropped"), "");
  const auto sent = settingsRequests(after(r.notes, "drag"));
  ASSERT_GE(sent.size(), 10u);
  std::vector<int> boosts;
  for (const std::string& s : sent) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        s, m, std::regex(R"(maxvol=50 3d=10 boost=(\d) eq=4,8,12,16,20 resume=1)")))
        << s;
    boosts.push_back(std::stoi(m[1]));
  }
  EXPECT_EQ(boosts.front(), 0);
  EXPECT_EQ(boosts.back(), 7);
  EXPECT_TRUE(std::is_sorted(boosts.begin(), boosts.end()));
  // The boost code goes to both speaker channels (bits 5..3 and 2..0) of register 0x0025.
  std::vector<int> expected;
  for (int b : boosts) expected.push_back(0x0140 | (b << 3) | b);
  EXPECT_EQ(codecWrites(r.trace, 0x0025, 3 * kS), expected);
  EXPECT_EQ(grep(r.notes, "boost at") + grep(r.notes, "chip"),
            "boost at 64\nchip maxvol=50 3d=10 boost=7 eq=4,8,12,16,20 resume=1\n");
}

// The equaliser: entering it sends the five bands back (five requests, all the same); a touch
// on band 3 sets it (the press and the lift each report it), which the codec gets in bits 5..1
// of register 0x0480 (the equaliser stays on in bit 0, bands 4 and 5 in 0x0481 stay at 0 dB).
// "Back" shows the parents' screen at once: one new picture, no transition.
TEST(ParentsBoard, TheEqualiserSendsItsBandsAndBand3ReachesTheCodec) {
  const auto r = runFirmware(
      [] {
        simusb::insert(threeFolders());
        parentsKey(2 * kS);
        at(3 * kS, [] { note("equaliser"); });
        tap(3 * kS, kEqualizerX, kEqualizerY);
        at(3500 * kMs, [] { note("band 3"); });
        tap(3500 * kMs, kBand3.x + 17, 124);  // band 3 to 20 (+8 dB)
        at(3900 * kMs, [] { noteIndicators({kBand3}); });
        tap(4 * kS, kBackX, kBackY);
        at(4500 * kMs, [] { noteIndicators({kMaxVol}); });
      },
      4600 * kMs);
  EXPECT_EQ(screens(r).substr(screens(r).find("Main")), "Main\nEltern\nEltern\nEQ\nEltern\n");

  const std::string onEq = after(r.notes, "equaliser");
  EXPECT_EQ(settingsRequests(onEq.substr(0, onEq.find("band 3"))),
            std::vector<std::string>(5, "maxvol=63 3d=0 boost=7 eq=12,12,12,12,12 resume=0"));
  EXPECT_EQ(settingsRequests(after(r.notes, "band 3")),
            std::vector<std::string>(5, "maxvol=63 3d=0 boost=7 eq=12,12,20,12,12 resume=0"));
  EXPECT_EQ(grep(r.notes, " at "), "band3 at 123\nmaxvol at 64\n");

  EXPECT_EQ(codecWrites(r.trace, 0x0480, 3500 * kMs, 4 * kS), std::vector<int>(2, 0x6329));
  EXPECT_EQ(codecWrites(r.trace, 0x0481, 3500 * kMs, 4 * kS), std::vector<int>(2, 0x6300));
  EXPECT_TRUE(codecWrites(r.trace, 0x0482).empty());

  // From the switch on: one new picture, the parents' screen whole (a transition would take
  // 20).
  const std::size_t back =
      r.trace.find(R"("ev":"screen","name":"Eltern")", r.trace.find(R"({"t":4000000,)"));
  ASSERT_NE(back, std::string::npos);
  const std::string frames = grep(r.trace.substr(back), R"("ev":"frame")");
  EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 1) << frames;
}

// The toggle shows the stored position resume (off here); a touch switches it on: one request,
// the record as before with only the resume changed, and the chip keeps it.
TEST(ParentsBoard, SwitchingPositionResumeOnSendsOneRequestWithOnlyThatChanged) {
  const auto r = runFirmware(
      [] {
        storeRecord([](SramDataStruct& d) {
          d.maxVolume = 45;
          d.effect3d = 5;
          d.spkBoost = 2;
        });
        simusb::insert(threeFolders());
        parentsKey(2 * kS);
        at(2900 * kMs, [] {
          noteToggle();
          note("touch");
        });
        tap(3 * kS, kToggleX, kToggleY);
        at(3500 * kMs, [] {
          noteToggle();
          noteChip();
        });
      },
      3600 * kMs);
  const std::string before = r.notes.substr(0, r.notes.find("touch\n"));
  const auto earlier = settingsRequests(before);
  ASSERT_FALSE(earlier.empty());
  EXPECT_EQ(earlier.back(), "maxvol=45 3d=5 boost=2 eq=12,12,12,12,12 resume=0");
  EXPECT_EQ(settingsRequests(after(r.notes, "touch")),
            std::vector<std::string>{"maxvol=45 3d=5 boost=2 eq=12,12,12,12,12 resume=1"});
  EXPECT_EQ(grep(r.notes, "toggle") + grep(r.notes, "chip"),
            "toggle off\ntoggle on\nchip maxvol=45 3d=5 boost=2 eq=12,12,12,12,12 resume=1\n");
}

}  // namespace
}  // namespace screenstest
