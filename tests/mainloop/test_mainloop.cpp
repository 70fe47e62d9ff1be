// The main control loop on the simulated board: what the device does with a stick and the
// user's requests, seen on the console, in the screen requests and in the settings record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FolderRoot.h"
#include "FreeRTOS.h"
#include "audioSettings.h"
#include "board_child.h"
#include "gui/common/FrontendHeap.hpp"
#include "gui/model/ModelListener.hpp"
#include "k_storage.h"
#include "process.h"
#include "simgfx.h"
#include "singleton.h"
#include "stick.h"
#include "task.h"

int firmware_main(void);

namespace {

using boardtest::note;

std::string dir() {
  static const std::string d = proc::tempDir();
  return d;
}

// A one-second MP3 of a tone (different per file so tracks can be told apart).
std::string track(const std::string& name, int hz, double seconds = 1.0) {
  const std::string wav = dir() + "/" + name + ".wav";
  const std::string mp3 = dir() + "/" + name + ".mp3";
  const std::string cmd = "sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth " +
                          std::to_string(seconds) + " sine " + std::to_string(hz) +
                          " >/dev/null 2>&1 && lame --quiet -b 128 '" + wav + "' '" + mp3 + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return mp3;
}

// Root folders "A" (picture, F1 with three tracks, F2 with four), "B" (picture, F1 with one)
// and "Many" (18 subfolders of one track each).
const std::string& stick() {
  static const std::string image = [] {
    std::string m;
    m += "file \"A/title.bmp\" size=3000\n";
    for (int t = 1; t <= 3; ++t) {
      m += "file \"A/F1/Track " + std::to_string(t) + ".mp3\" src=\"" +
           track("a1_" + std::to_string(t), 300 + 100 * t) + "\"\n";
    }
    for (int t = 1; t <= 4; ++t) {
      m += "file \"A/F2/Song " + std::to_string(t) + ".mp3\" src=\"" +
           track("a2_" + std::to_string(t), 800 + 100 * t, 4.0) + "\"\n";
    }
    m += "file \"B/title.bmp\" size=4000\n";
    m += "file \"B/F1/Only.mp3\" src=\"" + track("b1", 1500) + "\"\n";
    const std::string one = track("many", 2000, 0.5);
    for (int f = 0; f < 18; ++f) {
      char sub[16];
      std::snprintf(sub, sizeof sub, "S%02d", f);
      m += std::string("file \"Many/") + sub + "/x.mp3\" src=\"" + one + "\"\n";
    }
    proc::writeFile(dir() + "/stick.txt", m);
    const std::string out = dir() + "/main.img";
    const auto r = proc::run({SHAPEPLAY_MKSTICK, "--manifest", dir() + "/stick.txt", "--out", out});
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
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

void at(simk::Time t, std::function<void()> fn) {
  simk::schedule(t, simk::kOrderBoard, std::move(fn));
}

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

boardtest::Options runFor(simk::Time t) {
  boardtest::Options o;
  o.duration = t;
  o.kernelTick = false;
  return o;
}

// The console after the start-up lines, without the settings dump.
std::string lines(const std::string& console, const std::string& needle) {
  return boardtest::grep(console, needle);
}

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

void watchScreens() { at(simk::kMs, chainWhenTheGraphicsStart); }

TEST_F(MainLoop, FollowsTheStickWithItsScreensAndForgetsTheFoldersWhenItGoes) {
  auto r = boardtest::run(
      [] {
        watchScreens();
        at(1 * simk::kS, [] { simusb::insert(stick()); });
        at(3 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 0); });
        at(3500 * simk::kMs, [] { simusb::remove(); });
        at(4 * simk::kS, [] { send(BTN_Forward); });
        at(5 * simk::kS, [] {
          note("folders " + std::to_string(rootDirList.size()) + ", requests waiting " +
               std::to_string(guiQueueModelUserEvent->NumItems()));
        });
        firmware_main();
      },
      runFor(5500 * simk::kMs));
  EXPECT_EQ(boardtest::grep(r.notes, "screen") + boardtest::grep(r.notes, "folders"),
            "screen traurig\nscreen gluecklich\nscreen gluecklich\nscreen main 0\n"
            "screen traurig\nfolders 0, requests waiting 1\n");
  EXPECT_EQ(boardtest::grep(r.notes, "title picture"), "title picture 3000\n");
  EXPECT_NE(r.console.find("play 0:\\A\\F1\\Track 1.mp3"), std::string::npos);
  EXPECT_NE(r.console.find("mp3 decoder finished"), std::string::npos);
}

TEST_F(MainLoop, AFolderPlaysToItsEndAndStoresTrackZero) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 0); });
        at(9 * simk::kS, [] {
          note("stored track " +
               std::to_string(Singleton<_AudioSettings>::Instance().getAudioTrackNumber()));
        });
        firmware_main();
      },
      runFor(10 * simk::kS));
  EXPECT_EQ(lines(r.console, "play 0:"),
            "play 0:\\A\\F1\\Track 1.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n"
            "play 0:\\A\\F1\\Track 3.mp3\r\n");
  // After the third track the index is past the list: the empty name is no MP3.
  EXPECT_NE(r.console.find("unknown audio format: \r\n"), std::string::npos);
  EXPECT_EQ(r.notes, "stored track 0\n");
  EXPECT_FALSE(boardtest::grep(r.trace, R"("ev":"sram","op":"write")").empty());
}

TEST_F(MainLoop, ForwardOnTheLastTrackEndsTheFolderAndRewindOnTheFirstRestartsIt) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 1, 0); });  // B/F1: one track
        at(2200 * simk::kMs, [] { send(BTN_Rewind); });
        at(2400 * simk::kMs, [] { send(BTN_Forward); });
        at(3 * simk::kS, [] {
          note("stored track " +
               std::to_string(Singleton<_AudioSettings>::Instance().getAudioTrackNumber()));
        });
        firmware_main();
      },
      runFor(3500 * simk::kMs));
  EXPECT_EQ(lines(r.console, "play 0:"),
            "play 0:\\B\\F1\\Only.mp3\r\nplay 0:\\B\\F1\\Only.mp3\r\n");
  EXPECT_EQ(r.notes, "stored track 0\n");
}

// From the third track, rewind goes back one track (not to the first), from its start.
TEST_F(MainLoop, RewindFromALaterTrackPlaysThePreviousOne) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 0); });  // A/F1: three tracks
        at(2200 * simk::kMs, [] { send(BTN_Forward); });
        at(2400 * simk::kMs, [] { send(BTN_Forward); });
        at(2600 * simk::kMs, [] { send(BTN_Rewind); });
        at(2800 * simk::kMs, [] {
          note("stored track " +
               std::to_string(Singleton<_AudioSettings>::Instance().getAudioTrackNumber()));
        });
        firmware_main();
      },
      runFor(3 * simk::kS));
  EXPECT_EQ(lines(r.console, "play 0:"),
            "play 0:\\A\\F1\\Track 1.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n"
            "play 0:\\A\\F1\\Track 3.mp3\r\nplay 0:\\A\\F1\\Track 2.mp3\r\n");
  EXPECT_EQ(r.notes, "stored track 1\n");
}

TEST_F(MainLoop, ResumeOnStartsTheStoredTrackAtItsPositionResumeOffAtTheStart) {
  for (bool resume : {true, false}) {
    auto r = boardtest::run(
        [resume] {
          at(500 * simk::kMs, [] { simusb::insert(stick()); });
          at(2 * simk::kS, [resume] {
            _AudioSettings& s = Singleton<_AudioSettings>::Instance();
            s.setPositionResume(resume);
            s.changeRootFolder(0);
            s.changeAudioFolder(1);
            s.playbackNewTrack(3);
            s.playbackFilePosition(40000);
          });
          at(2100 * simk::kMs, [] { send(BTN_PlaybackFolder, 0, 1); });
          at(2600 * simk::kMs, [] {
            note("position " +
                 std::to_string(Singleton<_AudioSettings>::Instance().getFilePosition()));
          });
          firmware_main();
        },
        runFor(3 * simk::kS));
    if (resume) {
      EXPECT_EQ(lines(r.console, "play 0:"), "play 0:\\A\\F2\\Song 4.mp3\r\n");
      EXPECT_GE(std::stoul(r.notes.substr(9)), 32768u) << r.notes;
    } else {
      EXPECT_EQ(lines(r.console, "play 0:"), "play 0:\\A\\F2\\Song 1.mp3\r\n");
      EXPECT_LT(std::stoul(r.notes.substr(9)), 32768u) << r.notes;
    }
  }
}

TEST_F(MainLoop, PlaybackFolderSeventeenPlaysThatFolderButUsesSlotZero) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 2, 17); });
        at(2500 * simk::kMs, [] {
          note("audio folder " +
               std::to_string(Singleton<_AudioSettings>::Instance().sramData.getAudioFolder()));
        });
        firmware_main();
      },
      runFor(3 * simk::kS));
  EXPECT_EQ(lines(r.console, "play 0:"), "play 0:\\Many\\S17\\x.mp3\r\n");
  EXPECT_EQ(r.notes, "audio folder 0\n");
}

// The console as the device has always printed it: the chosen playback folder is named by the
// folder list and again by the loop; a root folder the stick does not have lists nothing but
// still finishes its (empty) sort.
TEST_F(MainLoop, ChoosingAFolderPrintsItTwiceAndAnUnknownRootFolderStillSorts) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlaybackFolder, 0, 1); });
        at(2500 * simk::kMs, [] { send(BTN_PlaybackFolder, 200, 0); });
        firmware_main();
      },
      runFor(3 * simk::kS));
  EXPECT_NE(r.console.find("sort finished\r\nselected 1, 0:\\A\\F2\r\nselected 1, 0:\\A\\F2\r\n"
                           "playbackFolderName: 0:\\A\\F2\r\n"),
            std::string::npos)
      << r.console;
  EXPECT_NE(r.console.find("open 0:\\\r\nsort finished\r\nplaybackFolderName: \r\n"),
            std::string::npos)
      << r.console;
}

TEST_F(MainLoop, PictureRequestsLoadTheSlotsAndAskTheScreensToRedraw) {
  auto r = boardtest::run(
      [] {
        watchScreens();
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_Folder_Forward, 1); });
        at(2500 * simk::kMs, [] { send(BTN_Overview_Refresh, 0, 0, 0); });
        firmware_main();
      },
      runFor(3 * simk::kS));
  EXPECT_EQ(boardtest::grep(r.notes, "picture"),
            "title picture 3000\ntitle picture 4000\noverview pictures 3000 4000 0 0 0 0\n");
  EXPECT_NE(r.console.find("OverviewPage: 0\r\n"), std::string::npos);
}

TEST_F(MainLoop, PlayPauseWithNothingPlayingStillTogglesTheOutput) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        at(2 * simk::kS, [] { send(BTN_PlayPause); });
        at(2200 * simk::kMs, [] { send(BTN_PlayPause); });
        firmware_main();
      },
      runFor(2500 * simk::kMs));
  const size_t pause = r.console.find("pause\r\n");
  const size_t resume = r.console.find("resume\r\n");
  ASSERT_NE(pause, std::string::npos);
  ASSERT_NE(resume, std::string::npos);
  EXPECT_LT(pause, resume);
}

TEST_F(MainLoop, ParentsSettingsAreAppliedInOrderAndStored) {
  auto r = boardtest::run(
      [] {
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
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
        at(2500 * simk::kMs, [] {
          _AudioSettings& s = Singleton<_AudioSettings>::Instance();
          note(std::string("resume ") + (s.getPositionResume() ? "on" : "off"));
        });
        firmware_main();
      },
      runFor(3 * simk::kS));
  EXPECT_EQ(r.notes, "resume on\n");
  // The codec sees the boost (0x0025), the 3D depth (0x0421) and the equaliser (0x0480).
  // The trace from the moment of the request on.
  size_t from = 0;
  while (from < r.trace.size() && std::stoul(r.trace.substr(from + 5)) < 2'000'000) {
    from = r.trace.find('\n', from) + 1;
  }
  const std::string after = r.trace.substr(from);
  const size_t d3 = after.find(R"("reg":1057)");
  const size_t boost = after.find(R"("reg":37)");
  const size_t eq = after.find(R"("reg":1152)");
  EXPECT_NE(d3, std::string::npos);
  EXPECT_LT(d3, boost);
  EXPECT_LT(boost, eq);
  EXPECT_NE(after.find(R"("ev":"sram","op":"write")"), std::string::npos);
}

TEST_F(MainLoop, AStoredRootFolderTheStickDoesNotHaveFallsBackToTheFirst) {
  auto r = boardtest::run(
      [] {
        watchScreens();
        at(300 * simk::kMs, [] { Singleton<_AudioSettings>::Instance().changeRootFolder(200); });
        at(500 * simk::kMs, [] { simusb::insert(stick()); });
        firmware_main();
      },
      runFor(2 * simk::kS));
  EXPECT_EQ(boardtest::grep(r.notes, "screen main"), "screen main 0\n");
  EXPECT_EQ(boardtest::grep(r.notes, "title picture"), "title picture 3000\n");
}

}  // namespace

namespace {

// Seconds (virtual) of the first trace line at or after `from` that contains `text`.
double timeOf(const std::string& trace, const std::string& text, double from = 0) {
  size_t pos = 0;
  while ((pos = trace.find(text, pos)) != std::string::npos) {
    const size_t start =
        trace.rfind('\n', pos) == std::string::npos ? 0 : trace.rfind('\n', pos) + 1;
    const double t = std::stod(trace.substr(start + 5)) / 1e6;
    if (t >= from) return t;
    pos += text.size();
  }
  return -1;
}

TEST(MainLoopPowerCycle, PlaybackResumesWhereItStoppedAfterThePowerWasOff) {
  const std::string folder = proc::tempDir();
  const std::string wav = folder + "/long.wav", mp3 = folder + "/long.mp3";
  ASSERT_EQ(
      std::system(("sox -n -r 44100 -c 2 -b 16 " + wav +
                   " synth 20 sine 440 >/dev/null 2>&1 && lame --quiet -b 128 " + wav + " " + mp3)
                      .c_str()),
      0);
  proc::writeFile(folder + "/m.txt", "file \"Stories/Long/Chapter.mp3\" src=\"" + mp3 + "\"\n");
  ASSERT_EQ(
      proc::run({SHAPEPLAY_MKSTICK, "--manifest", folder + "/m.txt", "--out", folder + "/s.img"})
          .status,
      0);
  const std::string script =
      "wait 1s\n"
      "event BTN_ParentSettingsChanged resume=1\n"
      "wait 500ms\n"
      "event BTN_PlaybackFolder main=0 playback=0\n"
      "wait 10s\n"
      "key power tap\n"
      "wait 1s\n"
      "power on\n"
      "wait 2s\n"
      "event BTN_PlaybackFolder main=0 playback=0\n"
      "wait 16s\n";
  const std::string trace = folder + "/trace.jsonl";
  const auto o = proc::run({SHAPEPLAY_SIM, "--headless", "--stick", folder + "/s.img", "--sram",
                            folder + "/sram.bin", "--trace", trace, "--script", "-"},
                           script);
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string t = proc::readFile(trace);
  ASSERT_NE(t.find(R"("ev":"power","state":"off")"), std::string::npos);
  ASSERT_NE(t.find(R"("ev":"power","state":"on")"), std::string::npos);
  const double firstPlay = timeOf(t, "play 0:\\\\Stories\\\\Long\\\\Chapter.mp3");
  const double powerOn = timeOf(t, R"("state":"on")");
  const double secondPlay = timeOf(t, "play 0:\\\\Stories\\\\Long\\\\Chapter.mp3", powerOn);
  const double secondEnd = timeOf(t, "mp3 decoder finished", secondPlay);
  ASSERT_GT(firstPlay, 0);
  ASSERT_GT(secondPlay, powerOn);
  ASSERT_GT(secondEnd, secondPlay);
  // About 10 s of the 20 s chapter were heard before the power went off: the rest takes about
  // 10 s (a little more is repeated, nothing is skipped).
  EXPECT_GT(secondEnd - secondPlay, 9.0);
  EXPECT_LT(secondEnd - secondPlay, 12.5);
}

}  // namespace

namespace {

// While paused the player still plays (holds its track), so the device never switches itself
// off; without the pause it would after about 250 s without a request.
TEST_F(MainLoop, APausedTrackKeepsTheDeviceOn) {
  const auto o = proc::run({SHAPEPLAY_SIM, "--headless", "--stick", stick(), "--script", "-"},
                           "wait 1s\n"
                           "event BTN_PlaybackFolder main=0 playback=1\n"
                           "wait 1s\n"
                           "event BTN_PlayPause\n"
                           "wait 300s\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("pause\r\n"), std::string::npos);
  EXPECT_EQ(o.out.find("power off"), std::string::npos);
}

}  // namespace
