// shapeplay-sim as a person runs it: command line, scenario, console, trace, exit status.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "process.h"

namespace {

TEST(Sim, HeadlessRunPrintsTheStartUpAndTracesEveryLine) {
  const proc::Sim r = proc::simulate("", {"--duration", "2s"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Hello World\r\nInit done, starting threads.\r\nConf default; size: 16 kb\n"
            "Conf default\nGui Start\r\n");
  EXPECT_EQ(r.log, r.out);
  const std::string console = proc::grep(r.trace, R"("ev":"console")");
  EXPECT_TRUE(std::regex_search(
      console, std::regex(R"("text":"Hello World"\}\n.*"text":"Init done, )"
                          R"(starting threads."\}\n.*"text":"Conf default; size: 16 kb"\}\n)"
                          R"(.*"text":"Conf default"\}\n.*"text":"Gui Start"\}\n$)")))
      << console;
  // The run ends at 2 s with the heap's high-water mark.
  EXPECT_TRUE(
      std::regex_search(r.trace, std::regex(R"(\{"t":2000000,"ev":"heap","kernel_peak":\d+)")))
      << r.trace.substr(r.trace.size() > 300 ? r.trace.size() - 300 : 0);
}

// The same run twice gives the same bytes; a request of the scenario is in the trace at its
// time.
TEST(Sim, TheSameRunTwiceGivesTheSameBytes) {
  const std::string script =
      "wait 250ms\nevent BTN_PlaybackFolder main=2 playback=3\nevent 200\nwait 1s\n";
  const proc::Sim a = proc::simulate(script), b = proc::simulate(script);
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(a.trace, b.trace);
  EXPECT_EQ(a.log, b.log);
  EXPECT_NE(a.trace.find(R"({"t":250000,"ev":"scenario","line":2,)"
                         R"("cmd":"event BTN_PlaybackFolder main=2 playback=3"})"),
            std::string::npos)
      << proc::grep(a.trace, "scenario");
}

// Without --duration the run ends with the script; --duration cuts a longer one short.
TEST(Sim, TheRunEndsWithTheScriptOrTheDuration) {
  const proc::Sim script = proc::simulate("wait 750ms\n");
  ASSERT_EQ(script.status, 0) << script.err;
  EXPECT_NE(script.trace.find(R"({"t":750000,"ev":"heap")"), std::string::npos);
  const proc::Sim cut = proc::simulate("wait 1s\nevent BTN_Forward\n", {"--duration", "100ms"});
  ASSERT_EQ(cut.status, 0) << cut.err;
  EXPECT_EQ(cut.trace.find(R"("ev":"scenario")"), std::string::npos);
  EXPECT_NE(cut.trace.find(R"({"t":100000,"ev":"heap")"), std::string::npos);
}

TEST(Sim, ExitStatusesSayWhatWentWrong) {
  struct Case {
    std::vector<std::string> args;
    std::string script;
    int status;
    std::string error;
  };
  const Case cases[] = {
      {{"--bogus"}, "", 2, "--bogus"},
      {{"--duration", "soon"}, "", 2, "--duration"},
      {{"--script", "/nonexistent/run.scn"}, "", 2, "/nonexistent/run.scn"},
      {{}, "wait 10ms\nfly away\n", 1, "run.scn:2:"},
      // The user interface (and its queue) is not up at the very first instant.
      {{}, "event BTN_Forward\n", 1, "run.scn:1:"},
      // A screenshot into a folder that is not there is refused before the board starts.
      {{},
       "wait 10ms\nscreenshot /nonexistent/s.png\n",
       2,
       "run.scn:2: cannot write screenshot /nonexistent/s.png"},
      {{"--screenshots", "/nonexistent/shots"},
       "wait 1s\n",
       2,
       "--screenshots: cannot write into /nonexistent/shots"},
  };
  for (const Case& c : cases) {
    const proc::Sim r = proc::simulate(c.script, c.args);
    EXPECT_EQ(r.status, c.status) << c.error;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_TRUE(r.log.empty()) << "nothing runs: " << c.error;
  }
  const proc::Output help = proc::run({SHAPEPLAY_SIM, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--duration"), std::string::npos);
}

// The whole demo tour, twice: the stick, the player, the sound and the settings chip give the
// same bytes every time; the child's touches alone choose the folders (the shapes, the arrow
// to the next root folder, the overview's picture for the last).
TEST(Sim, TheDemoTourGivesTheSameTraceSoundAndChipEveryTime) {
  std::string outputs[2];
  for (int i = 0; i < 2; ++i) {
    const std::string dir = proc::tempDir();
    const auto o = proc::run({SHAPEPLAY_SIM, "--headless", "--stick", SHAPEPLAY_DEMO_STICK,
                              "--sram", dir + "/sram.bin", "--script", SHAPEPLAY_DEMO_TOUR, "--wav",
                              dir + "/speaker.wav", "--sai-capture", dir + "/sai.wav", "--trace",
                              dir + "/trace.jsonl"});
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* f : {"/trace.jsonl", "/speaker.wav", "/sai.wav", "/sram.bin"}) {
      outputs[i] += proc::readFile(dir + f);
    }
    EXPECT_EQ(proc::grep(o.out, "playbackFolderName"),
              "playbackFolderName: 0:\\Animals\\Folder 1\r\n"
              "playbackFolderName: 0:\\Music\\Folder 2\r\n"
              "playbackFolderName: 0:\\Songs\\Folder 1\r\n");
    EXPECT_NE(o.out.find("play 0:\\Songs\\Folder 1\\Track 3.mp3"), std::string::npos);
    EXPECT_NE(proc::screensOf(proc::readFile(dir + "/trace.jsonl")).find("Main Overview Main "),
              std::string::npos);
  }
  EXPECT_GT(outputs[0].size(), 4'000'000u);  // 48 s of 48 kHz stereo sound, and more
  EXPECT_TRUE(outputs[0] == outputs[1]);
}

}  // namespace
