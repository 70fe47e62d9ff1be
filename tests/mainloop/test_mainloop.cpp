// The main control loop on the simulated board: what the device does with a stick and the
// user's requests, seen on the console, in the screen requests and in the settings record.
#include <gtest/gtest.h>

#include <string>

#include "FolderRoot.h"
#include "FreeRTOS.h"
#include "audioSettings.h"
#include "board_child.h"
#include "gui/common/FrontendHeap.hpp"
#include "gui/model/ModelListener.hpp"
#include "images.h"
#include "k_storage.h"
#include "process.h"
#include "simgfx.h"
#include "singleton.h"
#include "stick.h"
#include "task.h"

int firmware_main(void);

namespace {

using boardtest::at;
using boardtest::grep;
using boardtest::note;

// Root folders "A" (picture, F1 with three one-second tracks, F2 with four of four seconds),
// "B" (picture, F1 with one) and "Many" (18 subfolders of one track each).
const std::string& stick() {
  static const std::string image = [] {
    std::string m = "file \"A/title.bmp\" size=3000\nfile \"B/title.bmp\" size=4000\n";
    for (int t = 1; t <= 3; ++t) {
      m += "file \"A/F1/Track " + std::to_string(t) + ".mp3\" src=\"" +
           testimg::tone(1.0, 300 + 100 * t) + "\"\n";
    }
    for (int t = 1; t <= 4; ++t) {
      m += "file \"A/F2/Song " + std::to_string(t) + ".mp3\" src=\"" +
           testimg::tone(4.0, 800 + 100 * t) + "\"\n";
    }
    m += "file \"B/F1/Only.mp3\" src=\"" + testimg::tone(1.0, 1500) + "\"\n";
    const std::string one = testimg::tone(0.5, 2000);
    for (int f = 0; f < 18; ++f) {
      char sub[16];
      std::snprintf(sub, sizeof sub, "S%02d", f);
      m += std::string("file \"Many/") + sub + "/x.mp3\" src=\"" + one + "\"\n";
    }
    return testimg::mkstick(m);
  }();
  return image;
}

class MainLoop : public ::testing::Test {
 protected:
  void SetUp() override { (void)stick(); }
};

// Records the screen requests the model passes on.
struct Screens : ModelListener {
  void forceScreenMain() override {
    note("screen main " +
         std::to_string(FrontendHeap::getInstance().model.getSelectedMainFolder()));
  }
  void forceScreenTraurig() override { note("screen traurig"); }
  void forceScreenGluecklich() override { note("screen gluecklich"); }
  void forceScreenParent() override { note("screen parent"); }
  void forceTitlePictureUpdate() override {
    note("title picture " + std::to_string(FolderRoot::titlePictureSize[0]));
  }
  void forceOverviewPictureUpdate() override {
    std::string sizes;
    for (uint32_t s : FolderRoot::titlePictureSize) sizes += " " + std::to_string(s);
    note("overview pictures" + sizes);
  }
};

void send(ButtonEventEnum button, uint32_t main = 0, uint8_t playback = 0, uint32_t param = 0) {
  ModelUserEvent e;
  e.button = button;
  e.selectedMainFolder = main;
  e.selectedPlaybackFolder = playback;
  e.parameter = param;
  BaseType_t woken = pdFALSE;
  guiQueueModelUserEvent->EnqueueFromISR(&e, &woken);
  portYIELD_FROM_ISR(woken);
}

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }
void noteStoredTrack() { note("stored track " + std::to_string(settings().getAudioTrackNumber())); }

// The test's listener takes the place of the presenter of every screen shown (behind the
// board's own screen hook, set when the graphics start); it orders no screen change itself.
simgfx::ScreenHook boardHook = nullptr;

void bindTheTestsListener(const char* name) {
  boardHook(name);
  static Screens screens;
  FrontendHeap::getInstance().model.bind(&screens);
}

void chainWhenTheGraphicsStart() {
  boardHook = simgfx::screenHook();
  if (boardHook == nullptr) {
    at(simk::now() + simk::kMs, chainWhenTheGraphicsStart);
    return;
  }
  simgfx::setScreenHook(bindTheTestsListener);
}

// The whole firmware for `duration` after `setup`; the stick goes in at 0.5 s unless
// `insert` is false; the screen requests are noted (instead of followed) when `watch`.
boardtest::Result run(const std::function<void()>& setup, simk::Time duration, bool insert = true,
                      bool watch = false) {
  return boardtest::run(
      [&] {
        if (watch) at(simk::kMs, chainWhenTheGraphicsStart);
        if (insert) at(500 * simk::kMs, [] { simusb::insert(stick()); });
        setup();
        firmware_main();
      },
      {.duration = duration, .kernelTick = false});
}

TEST_F(MainLoop, FollowsTheStickWithItsScreensAndForgetsTheFoldersWhenItGoes) {
  auto r = run(
      [] {
        at(1 * simk::kS, [] { simusb::insert(stick()); });
        at(3 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 0); });
        at(3500 * simk::kMs, [] { simusb::remove(); });
        at(4 * simk::kS, [] { send(BTN_Forward); });
        at(5 * simk::kS, [] {
          note("folders " + std::to_string(rootDirList.size()) + ", requests waiting " +
               std::to_string(guiQueueModelUserEvent->NumItems()));
        });
      },
      5500 * simk::kMs, false, true);
  EXPECT_EQ(grep(r.notes, "screen") + grep(r.notes, "folders"),
            "screen traurig\nscreen gluecklich\nscreen gluecklich\nscreen main 0\n"
            "screen traurig\nfolders 0, requests waiting 1\n");
  EXPECT_EQ(grep(r.notes, "title picture"), "title picture 3000\n");
  EXPECT_NE(r.console.find("play 0:\\A\\F1\\Track 1.mp3"), std::string::npos);
  EXPECT_NE(r.console.find("mp3 decoder finished"), std::string::npos);
}

TEST_F(MainLoop, AFolderPlaysToItsEndAndStoresTrackZero) {
  auto r = run(
      [] {
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 0); });
        at(9 * simk::kS, noteStoredTrack);
      },
      10 * simk::kS);
  EXPECT_EQ(grep(r.console, "play 0:"),
            "play 0:\\A\\F1\\Track 1.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n"
            "play 0:\\A\\F1\\Track 3.mp3\r\n");
  // After the third track the index is past the list: the empty name is no MP3.
  EXPECT_NE(r.console.find("unknown audio format: \r\n"), std::string::npos);
  EXPECT_EQ(grep(r.notes, "stored"), "stored track 0\n");
  EXPECT_FALSE(grep(r.trace, R"("ev":"sram","op":"write")").empty());
}

// Forward on the last track ends the folder and rewind on the first restarts it (B/F1: one
// track); from the third track, rewind goes back one track (not to the first), from its start.
TEST_F(MainLoop, RewindPlaysThePreviousTrackOrRestartsTheFirst) {
  struct Case {
    uint32_t main;
    std::vector<ButtonEventEnum> buttons;
    std::string played, stored;
  };
  const Case cases[] = {{1,
                         {BTN_Rewind, BTN_Forward},
                         "play 0:\\B\\F1\\Only.mp3\r\nplay 0:\\B\\F1\\Only.mp3\r\n",
                         "stored track 0\n"},
                        {0,
                         {BTN_Forward, BTN_Forward, BTN_Rewind},
                         "play 0:\\A\\F1\\Track 1.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n"
                         "play 0:\\A\\F1\\Track 3.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n",
                         "stored track 1\n"}};
  for (const Case& c : cases) {
    static const Case* current;
    current = &c;
    auto r = run(
        [] {
          at(2 * simk::kS, [] { send(BTN_PlaybackFolder, current->main, 0); });
          simk::Time t = 2 * simk::kS;
          for (ButtonEventEnum b : current->buttons) {
            t += 200 * simk::kMs;
            at(t, [b] { send(b); });
          }
          at(3 * simk::kS, noteStoredTrack);
        },
        3500 * simk::kMs);
    EXPECT_EQ(grep(r.console, "play 0:"), c.played);
    EXPECT_EQ(grep(r.notes, "stored"), c.stored);
  }
}

TEST_F(MainLoop, ResumeOnStartsTheStoredTrackAtItsPositionResumeOffAtTheStart) {
  for (bool resume : {true, false}) {
    static bool on;
    on = resume;
    auto r = run(
        [] {
          at(2 * simk::kS, [] {
            _AudioSettings& s = settings();
            s.setPositionResume(on);
            s.changeRootFolder(0);
            s.changeAudioFolder(1);
            s.playbackNewTrack(3);
            s.playbackFilePosition(40000);
          });
          at(2100 * simk::kMs, [] { send(BTN_PlaybackFolder, 0, 1); });
          at(2600 * simk::kMs, [] { note(std::to_string(settings().getFilePosition())); });
        },
        3 * simk::kS);
    EXPECT_EQ(grep(r.console, "play 0:"),
              resume ? "play 0:\\A\\F2\\Song 4.mp3\r\n" : "play 0:\\A\\F2\\Song 1.mp3\r\n");
    EXPECT_EQ(std::stoul(r.notes) >= 32768u, resume) << r.notes;
  }
}

// The console as the device has always printed it: the chosen playback folder is named by the
// folder list and again by the loop; a root folder the stick does not have lists nothing but
// still finishes its (empty) sort. Playback folder 17 plays that folder but keeps its place
// in slot 0.
TEST_F(MainLoop, ChoosingAFolderPrintsItTwiceAndFolderSeventeenUsesSlotZero) {
  auto r = run(
      [] {
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 1); });
        at(2500 * simk::kMs, [] { send(BTN_PlaybackFolder, 200, 0); });
        at(3 * simk::kS, [] { send(BTN_PlaybackFolder, 2, 17); });
        at(3500 * simk::kMs,
           [] { note("audio folder " + std::to_string(settings().sramData.getAudioFolder())); });
      },
      4 * simk::kS);
  EXPECT_NE(r.console.find("sort finished\r\nselected 1, 0:\\A\\F2\r\nselected 1, 0:\\A\\F2\r\n"
                           "playbackFolderName: 0:\\A\\F2\r\n"),
            std::string::npos)
      << r.console;
  EXPECT_NE(r.console.find("open 0:\\\r\nsort finished\r\nplaybackFolderName: \r\n"),
            std::string::npos)
      << r.console;
  EXPECT_EQ(grep(r.console, "play 0:"),
            "play 0:\\A\\F2\\Song 1.mp3\r\nplay 0:\\Many\\S17\\x.mp3\r\n");
  EXPECT_EQ(grep(r.notes, "audio folder"), "audio folder 0\n");
}

// Picture requests load the slots and ask the screens to redraw; play/pause with nothing
// playing still toggles the output.
TEST_F(MainLoop, PictureRequestsLoadTheSlotsAndPlayPauseTogglesWithNothingPlaying) {
  auto r = run(
      [] {
        at(2 * simk::kS, [] { send(BTN_Folder_Forward, 1); });
        at(2500 * simk::kMs, [] { send(BTN_Overview_Refresh, 0, 0, 0); });
        at(2700 * simk::kMs, [] { send(BTN_PlayPause); });
        at(2900 * simk::kMs, [] { send(BTN_PlayPause); });
      },
      3 * simk::kS, true, true);
  EXPECT_EQ(grep(r.notes, "picture"),
            "title picture 3000\ntitle picture 4000\noverview pictures 3000 4000 0 0 0 0\n");
  EXPECT_NE(r.console.find("OverviewPage: 0\r\n"), std::string::npos);
  const size_t pause = r.console.find("pause\r\n");
  ASSERT_NE(pause, std::string::npos);
  EXPECT_NE(r.console.find("resume\r\n", pause), std::string::npos);
}

TEST_F(MainLoop, ParentsSettingsAreAppliedInOrderAndStored) {
  auto r = run(
      [] {
        at(2 * simk::kS, [] {
          ModelUserEvent e;
          e.button = BTN_ParentSettingsChanged;
          e.parentSettings.maxVolume = 50;
          e.parentSettings.effect3d = 9;
          e.parentSettings.spkBoost = 3;
          e.parentSettings.positionResume = true;
          for (int k = 0; k < 5; ++k) e.parentSettings.equalizer[k] = 12 + k;
          e.parentSettings.changed = true;
          BaseType_t woken = pdFALSE;
          guiQueueModelUserEvent->EnqueueFromISR(&e, &woken);
        });
        at(2500 * simk::kMs,
           [] { note(std::string("resume ") + (settings().getPositionResume() ? "on" : "off")); });
      },
      3 * simk::kS);
  EXPECT_EQ(grep(r.notes, "resume"), "resume on\n");
  // The codec sees the 3D depth (0x0421), the boost (0x0025) and the equaliser (0x0480), in
  // that order, from the moment of the request on; then the record is written.
  const long long d3 = proc::timeOf(r.trace, R"("reg":1057)", 2'000'000);
  const long long boost = proc::timeOf(r.trace, R"("reg":37)", 2'000'000);
  const long long eq = proc::timeOf(r.trace, R"("reg":1152)", 2'000'000);
  EXPECT_GT(d3, 0);
  EXPECT_LT(d3, boost);
  EXPECT_LT(boost, eq);
  EXPECT_GT(proc::timeOf(r.trace, R"("ev":"sram","op":"write")", 2'000'000), 0);
}

TEST_F(MainLoop, AStoredRootFolderTheStickDoesNotHaveFallsBackToTheFirst) {
  auto r = run([] { at(300 * simk::kMs, [] { settings().changeRootFolder(200); }); }, 2 * simk::kS,
               true, true);
  EXPECT_EQ(grep(r.notes, "screen main"), "screen main 0\n");
  EXPECT_EQ(grep(r.notes, "title picture"), "title picture 3000\n");
}

// While paused the player still plays (holds its track), so the device never switches itself
// off; without the pause it would after about 250 s without a request.
TEST_F(MainLoop, APausedTrackKeepsTheDeviceOn) {
  const proc::Sim r = proc::simulate(
      "wait 1s\nevent BTN_PlaybackFolder main=0 playback=1\nwait 1s\nevent BTN_PlayPause\n"
      "wait 300s\n",
      {"--stick", stick()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("pause\r\n"), std::string::npos);
  EXPECT_EQ(r.out.find("power off"), std::string::npos);
}

}  // namespace
