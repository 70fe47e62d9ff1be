// shapeplay-sim as a person runs it: command line, scenario, console, trace, exit status.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "process.h"

namespace {

const std::string kSim = SHAPEPLAY_SIM;

struct SimRun {
  proc::Output o;
  std::string trace;
  std::string log;
};

SimRun sim(std::vector<std::string> args, const std::string& stdinText = "") {
  const std::string dir = proc::tempDir();
  args.insert(args.begin(), kSim);
  args.push_back("--trace=" + dir + "/trace.jsonl");
  args.push_back("--log=" + dir + "/console.log");
  SimRun r;
  r.o = proc::run(args, stdinText);
  r.trace = proc::readFile(dir + "/trace.jsonl");
  r.log = proc::readFile(dir + "/console.log");
  return r;
}

std::string lines(const std::string& text, const std::string& needle) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    if (line.find(needle) != std::string::npos) out += line + "\n";
    pos = end + 1;
  }
  return out;
}

TEST(Sim, HeadlessRunPrintsTheStartUpAndTracesEveryThreadAndLine) {
  const SimRun r = sim({"--headless", "--duration", "2s"});
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(r.o.out,
            "Hello World\r\nInit done, starting threads.\r\nConf default; size: 16 kb\n"
            "Conf default\nGui Start\r\n");
  EXPECT_EQ(r.log, r.o.out);
  const std::string console = lines(r.trace, R"("ev":"console")");
  EXPECT_TRUE(std::regex_search(
      console, std::regex(R"("text":"Hello World"\}\n.*"text":"Init done, )"
                          R"(starting threads."\}\n.*"text":"Conf default; size: 16 kb"\}\n)"
                          R"(.*"text":"Conf default"\}\n.*"text":"Gui Start"\}\n$)")))
      << console;
  for (const char* name :
       {"USBH_Thread", "STORAGE_Thread", "Main_Thread", "IDLE", "DacTask", "DecodeMp3",
        "AudioPlayer", "LedThread", "HumanInputTask", "MainAudioTask"}) {
    EXPECT_NE(r.trace.find(std::string(R"("ev":"thread","name":")") + name + "\""),
              std::string::npos)
        << name;
  }
  // The run ends at 2 s with the heap's high-water mark.
  EXPECT_TRUE(
      std::regex_search(r.trace, std::regex(R"(\{"t":2000000,"ev":"heap","kernel_peak":\d+)")))
      << r.trace.substr(r.trace.size() > 300 ? r.trace.size() - 300 : 0);
}

TEST(Sim, TheSameRunTwiceGivesTheSameBytes) {
  const std::string script = "wait 300ms\nevent BTN_Forward main=1\nevent 200\nwait 1s\n";
  const SimRun a = sim({"--headless", "--script", "-"}, script);
  const SimRun b = sim({"--headless", "--script", "-"}, script);
  ASSERT_EQ(a.o.status, 0) << a.o.err;
  EXPECT_EQ(a.trace, b.trace);
  EXPECT_EQ(a.log, b.log);
  EXPECT_FALSE(a.trace.empty());
}

TEST(Sim, WithoutDurationTheRunEndsWithTheScript) {
  const SimRun r = sim({"--headless", "--script", "-"}, "wait 750ms\n");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_NE(r.trace.find(R"({"t":750000,"ev":"heap")"), std::string::npos);
}

TEST(Sim, DurationCutsALongerScriptShort) {
  const SimRun r =
      sim({"--headless", "--duration", "100ms", "--script", "-"}, "wait 1s\nevent BTN_Forward\n");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(r.trace.find(R"("ev":"scenario")"), std::string::npos);
  EXPECT_NE(r.trace.find(R"({"t":100000,"ev":"heap")"), std::string::npos);
}

TEST(Sim, ExitStatusesSayWhatWentWrong) {
  EXPECT_EQ(sim({"--bogus"}).o.status, 2);
  EXPECT_EQ(sim({"--duration", "soon"}).o.status, 2);

  const SimRun missing = sim({"--headless", "--script", "/nonexistent/run.scn"});
  EXPECT_EQ(missing.o.status, 2);
  EXPECT_NE(missing.o.err.find("/nonexistent/run.scn"), std::string::npos) << missing.o.err;

  const SimRun bad = sim({"--headless", "--script", "-"}, "wait 10ms\nfly away\n");
  EXPECT_EQ(bad.o.status, 1);
  EXPECT_NE(bad.o.err.find("<stdin>:2:"), std::string::npos) << bad.o.err;
  EXPECT_TRUE(bad.log.empty()) << "nothing runs when the script is wrong";

  // The user interface (and its queue) is not up at the very first instant.
  const SimRun early = sim({"--headless", "--script", "-"}, "event BTN_Forward\n");
  EXPECT_EQ(early.o.status, 1);
  EXPECT_NE(early.o.err.find("<stdin>:1:"), std::string::npos) << early.o.err;

  // A screenshot into a folder that is not there is refused before the board starts.
  const SimRun noFolder =
      sim({"--headless", "--script", "-"}, "wait 10ms\nscreenshot /nonexistent/s.png\n");
  EXPECT_EQ(noFolder.o.status, 2);
  EXPECT_NE(noFolder.o.err.find("<stdin>:2: cannot write screenshot /nonexistent/s.png"),
            std::string::npos)
      << noFolder.o.err;
  EXPECT_TRUE(noFolder.log.empty());

  const proc::Output help = proc::run({kSim, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--duration"), std::string::npos);
}

TEST(Sim, EventRequestsAppearInTheTraceAtTheirTime) {
  const SimRun r = sim({"--headless", "--script", "-"},
                       "wait 250ms\nevent BTN_PlaybackFolder main=2 playback=3\n");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_NE(
      r.trace.find(
          R"({"t":250000,"ev":"scenario","line":2,"cmd":"event BTN_PlaybackFolder main=2 playback=3"})"),
      std::string::npos)
      << lines(r.trace, "scenario");
}

}  // namespace

namespace {

// The whole demo tour: the stick, the player, the sound and the settings chip, twice.
TEST(Sim, TheDemoTourGivesTheSameTraceSoundAndChipEveryTime) {
  std::string outputs[2];
  for (int i = 0; i < 2; ++i) {
    const std::string dir = proc::tempDir();
    const auto o =
        proc::run({kSim, "--headless", "--stick", SHAPEPLAY_DEMO_STICK, "--sram", dir + "/sram.bin",
                   "--script", SHAPEPLAY_DEMO_TOUR, "--wav", dir + "/speaker.wav", "--sai-capture",
                   dir + "/sai.wav", "--trace", dir + "/trace.jsonl"});
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* f : {"/trace.jsonl", "/speaker.wav", "/sai.wav", "/sram.bin"}) {
      outputs[i] += proc::readFile(dir + f);
    }
    EXPECT_NE(o.out.find("play 0:\\Songs\\Folder 1\\Track 3.mp3"), std::string::npos);
  }
  EXPECT_GT(outputs[0].size(), 4'000'000u);  // 48 s of 48 kHz stereo sound, and more
  EXPECT_TRUE(outputs[0] == outputs[1]);
}

}  // namespace
