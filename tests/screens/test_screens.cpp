// The player's screens as the child sees them, through the simulator: screenshots taken by a
// scenario and compared with the reference pictures in tests/screens/ref/ (pixel for pixel;
// scripts/update-reference-pictures makes them anew), the pictures of --screenshots, and the
// touches, drags and key codes of a scenario in the trace.
//
// A new screen case: a script that brings the screen up and takes `screenshot NAME.png`, then
// EXPECT_TRUE(pictures::matchesReference(shot(run, "NAME"), "NAME")), and property checks
// (pictures::regionIs, shareOf, changed) for what the case is about.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "pictures.h"
#include "process.h"

namespace {

// The simulator headless on `script`, with the demo stick when `stick`; more arguments may
// follow. Its screenshots land in the run's folder.
proc::Sim simulate(const std::string& script, bool stick = false,
                   std::vector<std::string> more = {}) {
  if (stick) more.insert(more.end(), {"--stick", SHAPEPLAY_DEMO_STICK});
  return proc::simulate(script, more);
}

pictures::Picture shot(const proc::Sim& r, const std::string& name) {
  return pictures::load(r.dir + "/" + name + ".png");
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    }
    closedir(d);
  }
  return names;
}

// The player's own screens from power-on with the demo stick in: UsbWeg, UsbDa, then the main
// screen; the parents' screen (the core's order on the parents' request), its about button,
// the about screen's "Close" sliding back, then the main screen's key code 113 to the
// power-off screen, which stays whatever the stick does. Every new picture of the panel is
// a file of --screenshots.
struct Tour {
  proc::Sim run;
  std::vector<std::string> pictures;  // the --screenshots files, in order
  std::string shots;                  // their folder
};

const Tour& tour() {
  static const Tour t = [] {
    Tour tour;
    tour.shots = proc::tempDir() + "/shots";
    tour.run = simulate(
        "wait 300ms\nscreenshot usbweg.png\n"
        "wait 300ms\nscreenshot usbda.png\n"
        "wait 1s\nevent BTN_Parent\n"
        "wait 500ms\nscreenshot eltern.png\n"
        "touch 187 390\n"  // "About"
        "wait 500ms\nscreenshot about.png\n"
        "touch 187 450\n"  // "Close"
        "wait 1s\nscreenshot eltern-again.png\n"
        "touch 187 450\n"  // the parents' "Close": the main screen
        "wait 500ms\nkeycode 113\n"
        "wait 500ms\nscreenshot poweroff.png\n"
        "remove\nwait 1s\nevent BTN_Parent\nwait 500ms\nscreenshot poweroff-still.png\n",
        true, {"--screenshots", tour.shots});
    tour.pictures = filesIn(tour.shots);
    std::sort(tour.pictures.begin(), tour.pictures.end());
    return tour;
  }();
  return t;
}

// What the child sees: the screens in their order, the stick screens (the start screen's
// reference is the screen without a stick), the about screen and the power-off screen as in
// their references; the power-off screen stays whatever the stick does. (That every screen
// but the power-off screen shows its layout upright, and that one upside down: UiBoard.)
TEST(Screens, TheStickAboutAndPowerOffScreensMatchTheirReferences) {
  const Tour& t = tour();
  ASSERT_EQ(t.run.status, 0) << t.run.err;
  EXPECT_EQ(proc::screensOf(t.run.trace),
            "UsbWeg UsbWeg UsbDa UsbDa Main Eltern About Eltern Main PowerOff ");
  EXPECT_TRUE(pictures::matchesReference(shot(t.run, "usbweg"), "start-screen"));
  EXPECT_TRUE(pictures::matchesReference(shot(t.run, "usbda"), "usbda"));
  EXPECT_TRUE(pictures::matchesReference(shot(t.run, "about"), "about"));
  EXPECT_TRUE(pictures::matchesReference(shot(t.run, "poweroff"), "poweroff"));
  EXPECT_TRUE(pictures::matchesReference(shot(t.run, "poweroff-still"), "poweroff"));
}

// "Close" on the about screen slides the parents' screen in from below in 20 frames, each
// different, the last the plain parents' screen. The panel shows 19 of them: the parents'
// screen sends its three sliders' values back as it opens, the core stores each (the main
// loop, above the frame loop's priority, writes the record three times: 38 ms), and by then
// two vertical syncs have passed, so the frame loop draws the second step at once and the
// first is never shown.
TEST(Screens, AboutsCloseSlidesToTheParentsScreenInTwentyFrames) {
  const Tour& t = tour();
  ASSERT_EQ(t.run.status, 0) << t.run.err;
  // The parents' screen's pictures after the about screen's, before its own "Close" is
  // touched at 3.6 s.
  std::vector<std::string> slide;
  bool afterAbout = false;
  const std::regex name(R"((\d{4})-([A-Za-z]+)-(\d+)\.png)");
  for (const std::string& f : t.pictures) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(f, m, name)) << f;
    if (m[2] == "About") afterAbout = true;
    if (afterAbout && m[2] == "Eltern" && std::stoi(m[3]) < 3600) slide.push_back(f);
  }
  ASSERT_EQ(slide.size(), 19u);
  const pictures::Picture eltern = shot(t.run, "eltern");
  const pictures::Picture again = shot(t.run, "eltern-again");
  EXPECT_EQ(pictures::differing(eltern, again), 0u);
  std::vector<pictures::Picture> frames;
  for (const std::string& f : slide) frames.push_back(pictures::load(t.shots + "/" + f));
  for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
    EXPECT_GT(pictures::differing(frames[i], frames[i + 1]), 0u) << slide[i];
    EXPECT_GT(pictures::differing(frames[i], eltern), 0u) << slide[i];
  }
  EXPECT_EQ(pictures::differing(frames.back(), eltern), 0u) << slide.back();
}

// A parent at work, the settings chip kept in a file: the parents' key opens the parents'
// screen (a fresh chip: maximum volume 63 and boost 7 at their tops, 3D 0 at its bottom,
// position resume off), "Equalizer" the equaliser (every band at 0 dB, in the middle), "Back"
// the parents' screen again; a touch on the toggle switches position resume on, and only the
// toggle changes. After the power key and a power-on the parents' key shows the toggle on.
TEST(Screens, TheParentsScreensMatchTheirReferencesAndResumeOutlastsAPowerCycle) {
  const std::string sram = proc::tempDir() + "/sram.bin";
  const proc::Sim r = simulate(
      "wait 1500ms\nkey parents tap\nwait 1s\nscreenshot eltern.png\n"
      "touch 187 330\nwait 500ms\nscreenshot eq.png\n"  // "Equalizer"
      "touch 187 450\nwait 500ms\ntouch 191 281\n"      // "Back", position resume
      "wait 500ms\nscreenshot resume-on.png\n"
      "key power tap\nwait 1s\npower on\nwait 1500ms\n"
      "key parents tap\nwait 1s\nscreenshot after-power-on.png\n",
      true, {"--sram", sram});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(proc::screensOf(r.trace),
            "UsbWeg UsbWeg UsbDa UsbDa Main Eltern Eltern EQ Eltern "
            "UsbWeg UsbWeg UsbDa UsbDa Main Eltern Eltern ");
  const pictures::Picture eltern = shot(r, "eltern");
  EXPECT_TRUE(pictures::matchesReference(eltern, "eltern"));
  EXPECT_TRUE(pictures::matchesReference(shot(r, "eq"), "eq"));
  const pictures::Picture on = shot(r, "resume-on");
  EXPECT_TRUE(pictures::matchesReference(on, "eltern-resume-on"));
  const pictures::Box toggle{127, 262, 128, 38};
  const pictures::Box change = pictures::changed(eltern, on);
  EXPECT_FALSE(change.empty());
  EXPECT_GE(change.x, toggle.x);
  EXPECT_GE(change.y, toggle.y);
  EXPECT_LE(change.x + change.width, toggle.x + toggle.width);
  EXPECT_LE(change.y + change.height, toggle.y + toggle.height);
  EXPECT_EQ(pictures::differing(on, shot(r, "after-power-on")), 0u);
  const std::string chip = proc::readFile(sram);
  ASSERT_EQ(chip.size(), 131072u);
  EXPECT_EQ(chip[275], 1);  // the record's position resume
}

TEST(Screens, TouchesDragsAndKeyCodesGoToTheBoardAndTheTrace) {
  const proc::Sim r = simulate(
      "wait 100ms\ntouch 10 20\nwait 200ms\ndrag 0 0 271 479 100ms\nkeycode 113\npress 5 6\n"
      "wait 50ms\nrelease\nwait 100ms\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // A tap is down for 100 ms; a drag rests 20 ms at its end before it lifts; a press on a
  // finger still down moves it there.
  for (const char* line : {
           R"({"t":100000,"ev":"touch","x":10,"y":20,"state":"press"})",
           R"({"t":200000,"ev":"touch","x":10,"y":20,"state":"release"})",
           R"({"t":300000,"ev":"touch","x":0,"y":0,"state":"press"})",
           R"({"t":450000,"ev":"touch","x":5,"y":6,"state":"release"})",
           R"({"t":400000,"ev":"scenario","line":5,"cmd":"keycode 113"})",
       }) {
    EXPECT_NE(r.trace.find(line), std::string::npos) << line;
  }
  // The drag was still down when the press came: it never lifted by itself.
  EXPECT_EQ(r.trace.find(R"("x":271,"y":479,"state":"release")"), std::string::npos);
}

// Each file of --screenshots belongs to a `frame` event of the trace (its number and time) and
// names the screen shown; the same run gives the same pictures. The main screen and the
// overview with the demo stick match their references: the first root folder's picture between
// the arrows, the shapes of its three playback folders full and the others faded; then the
// overview's first page with the four root folders' pictures.
TEST(Screens, EveryNewPictureIsAFileNamedAfterItsFrameAndTheMainScreenAndOverviewAsReferenced) {
  std::vector<std::string> files[2];
  std::string bytes[2];
  proc::Sim r;
  for (int i = 0; i < 2; ++i) {
    const std::string shots = proc::tempDir() + "/shots";
    r = simulate(
        "wait 1500ms\nscreenshot main.png\ntouch 137 64\nwait 1s\n"
        "screenshot overview.png\nwait 500ms\n",
        true, {"--screenshots", shots});
    ASSERT_EQ(r.status, 0) << r.err;
    files[i] = filesIn(shots);
    std::sort(files[i].begin(), files[i].end());
    for (const std::string& f : files[i]) bytes[i] += proc::readFile(shots + "/" + f);
  }
  EXPECT_EQ(files[0], files[1]);
  EXPECT_TRUE(bytes[0] == bytes[1]);
  EXPECT_TRUE(pictures::matchesReference(shot(r, "main"), "main"));
  EXPECT_TRUE(pictures::matchesReference(shot(r, "overview"), "overview"));

  std::set<std::string> expected;
  const std::regex frame(R"(\{"t":(\d+),"ev":"frame","n":(\d+),"hash":"[0-9a-f]{16}"\})");
  for (auto it = std::sregex_iterator(r.trace.begin(), r.trace.end(), frame);
       it != std::sregex_iterator(); ++it) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%04d-", std::stoi((*it)[2]));
    expected.insert(std::string(prefix) + "*-" + std::to_string(std::stoll((*it)[1]) / 1000));
  }
  ASSERT_EQ(files[0].size(), expected.size());
  for (const std::string& f : files[0]) {
    const std::regex name(R"((\d{4})-([A-Za-z]+)-(\d+)\.png)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(f, m, name)) << f;
    EXPECT_EQ(expected.count(m[1].str() + "-*-" + m[3].str()), 1u) << f;
  }
}

}  // namespace
