// A stick that fails while the device runs: sectors that cannot be read (of a track, of a
// picture, of a folder), a command that gets no answer, a slow stick. The firmware logs what
// it could not read, skips it, and plays the next track or folder; nothing hangs. And the heap
// over a long run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults_board.h"
#include "process.h"

namespace {

using namespace faulttest;

// Root folders A (a picture; F0 with three two-second tracks, F1 with one) and B (a picture,
// F0 with one track).
const std::string& faultStick() {
  static const std::string image = [] {
    std::string m = "file \"A/title.bmp\" size=3000\nfile \"B/title.bmp\" size=3000\n";
    for (int t = 0; t < 3; ++t) {
      m += "file \"A/F0/T" + std::to_string(t) + ".mp3\" src=\"" + track(400 + 200 * t, 2.0) +
           "\"\n";
    }
    m += "file \"A/F1/T0.mp3\" src=\"" + track(1300, 2.0) + "\"\n";
    m += "file \"B/F0/T0.mp3\" src=\"" + track(1500, 2.0) + "\"\n";
    return stick(m);
  }();
  return image;
}

// The console without the line ends' carriage returns.
std::string console(const BoardRun& r) {
  std::string out;
  for (char c : r.console) {
    if (c != '\r') out += c;
  }
  return out;
}

// Whether `lines` appear in `text` in this order (others may come between).
bool inOrder(const std::string& text, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& line : lines) {
    at = text.find(line, at);
    if (at == std::string::npos) return false;
    at += line.size();
  }
  return true;
}

// Lines of a whole playback of a track.
std::vector<std::string> played(const std::string& path) {
  return {"playback mp3: 0:\\" + path + "\n", "decoder result 0\n", "mp3 decoder finished\n"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
using Lines = std::vector<std::string>;

TEST(StickFaults, ReadErrorsOnATrackAPictureAndAFolderAreLoggedSkippedAndPlayedPast) {
  const std::string& image = faultStick();
  struct Case {
    const char* what;
    uint64_t sector;
    std::string script;
    Lines console;  // in this order
  };
  const Case cases[] = {
      {"a sector in the middle of a track", firstSector(image, "/A/F0/T1.mp3") + 10,
       "wait 1300ms\nevent BTN_PlaybackFolder main=0 playback=0\nwait 8s\n",
       played("A\\F0\\T0.mp3") +
           Lines{"playback mp3: 0:\\A\\F0\\T1.mp3\n", "mp3 problem 2\n", "mp3 decoder finished\n"} +
           played("A\\F0\\T2.mp3")},
      {"the first sector of the main folder's picture", firstSector(image, "/A/title.bmp"),
       "wait 1300ms\nevent BTN_PlaybackFolder main=0 playback=0\nwait 3s\n",
       Lines{"open picture success: A / title.bmp\n", "size mismatch: 3000, 0\n",
             "picture read 0\n"} +
           played("A\\F0\\T0.mp3")},
      {"the first sector of a root folder", firstSector(image, "/B"),
       "wait 1300ms\nevent BTN_PlaybackFolder main=1 playback=0\nwait 1s\n"
       "event BTN_PlaybackFolder main=0 playback=1\nwait 3s\n",
       Lines{"open root err\n", "Folder: B\n Pic:\n Count:0\n", "open 0:\\B\n",
             "playbackFolderName: \n"} +
           played("A\\F1\\T0.mp3")},
  };
  for (const Case& c : cases) {
    const BoardRun r = run("stick fault " + std::to_string(c.sector) + "\n" + c.script, image,
                           dir() + "/faults.bin");
    ASSERT_EQ(r.status, 0) << c.what << "\n" << r.console;
    EXPECT_TRUE(inOrder(console(r), c.console)) << c.what << ":\n" << console(r);
    EXPECT_EQ(r.trace.find(R"("ev":"halt")"), std::string::npos) << c.what;
    const std::vector<std::string> errors = events(r.trace, "stick");
    bool seen = false;
    for (const std::string& e : errors) {
      seen = seen || (e.find("read error") != std::string::npos &&
                      field(e, "sector") == static_cast<long long>(c.sector));
    }
    EXPECT_TRUE(seen) << c.what << ": no read error of sector " << c.sector;
  }
}

TEST(StickFaults, AnUnansweredCommandIsGivenUpAndASlowStickStillPlaysEverything) {
  const std::string& image = faultStick();
  // A command without an answer while the first track plays: the host gives it up after 5 s,
  // the disk adapter reads again, and the folder plays on to its end, 5 s later.
  const BoardRun stalled =
      run("wait 1300ms\nevent BTN_PlaybackFolder main=0 playback=0\nwait 1s\nstick fault stall\n"
          "wait 14s\n",
          image, dir() + "/stall.bin");
  ASSERT_EQ(stalled.status, 0);
  EXPECT_TRUE(inOrder(console(stalled),
                      played("A\\F0\\T0.mp3") + played("A\\F0\\T1.mp3") + played("A\\F0\\T2.mp3")))
      << console(stalled);
  const auto noAnswer = events(stalled.trace, "stick");
  ASSERT_FALSE(noAnswer.empty());
  EXPECT_NE(noAnswer.back().find("no answer"), std::string::npos) << noAnswer.back();
  long long lastEnd = 0;
  for (const std::string& e : events(stalled.trace, "console")) {
    if (e.find("mp3 decoder finished") != std::string::npos) lastEnd = field(e, "t");
  }
  // Three two-second tracks from 1.3 s on would end at 7.3 s without the stall.
  EXPECT_GE(lastEnd, 12300000) << "the host waited out its time-out";

  // Every command a hundred times as long: the list, the picture and every track still come,
  // later (a read of 4 KiB takes 0.7 s, longer than the 0.5 s it plays). The folder is chosen
  // once the main screen, shown late, has asked for its picture (which stops playback).
  const BoardRun slow =
      run("stick fault slow 100\nwait 15s\nevent BTN_PlaybackFolder main=0 playback=0\nwait 40s\n",
          image, dir() + "/slow.bin");
  ASSERT_EQ(slow.status, 0);
  EXPECT_TRUE(inOrder(console(slow), Lines{"Folder: A\n", "picture read 3000\n"} +
                                         played("A\\F0\\T0.mp3") + played("A\\F0\\T1.mp3") +
                                         played("A\\F0\\T2.mp3")))
      << console(slow);
  EXPECT_EQ(slow.trace.find(R"("ev":"halt")"), std::string::npos);
}

// What the simulator reports over a long run: the heap's bytes in use every virtual minute.
// (Nothing of the speaker's sound is kept without --wav: AudioFiles in tests/audio.)
TEST(LongRuns, TheHeapInUseIsReportedEveryVirtualMinute) {
  const BoardRun r = run("wait 3m\n", "", dir() + "/heap.bin");
  ASSERT_EQ(r.status, 0);
  const std::vector<std::string> heap = events(r.trace, "heap");
  ASSERT_EQ(heap.size(), 4u) << r.trace.substr(0, 2000);  // three minutes and the end of the run
  for (int minute = 1; minute <= 3; ++minute) {
    const std::string& e = heap[minute - 1];
    EXPECT_EQ(field(e, "t"), minute * 60000000ll) << e;
    // The threads' stacks and queues are in the kernel heap; the runtime heap holds the
    // settings singleton's strings and the like.
    EXPECT_GT(field(e, "kernel_in_use"), 100000) << e;
    EXPECT_GT(field(e, "runtime_in_use"), 0) << e;
    EXPECT_EQ(e.find("peak"), std::string::npos) << e;
  }
  // An idle board holds the same from the first minute on.
  EXPECT_EQ(field(heap[0], "kernel_in_use"), field(heap[2], "kernel_in_use"));
  EXPECT_EQ(field(heap[0], "runtime_in_use"), field(heap[2], "runtime_in_use"));
  EXPECT_NE(heap[3].find("kernel_peak"), std::string::npos) << heap[3];
}

}  // namespace
