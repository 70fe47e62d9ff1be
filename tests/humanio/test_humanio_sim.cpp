// Power cycles as a person runs the simulator: the power key or the idle timer switches the
// board off, the serial SRAM's file keeps the settings, and `power on` starts the firmware
// again from nothing with the controls as they were left.
#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace {

const std::string kSim = SHAPEPLAY_SIM;

struct SimRun {
  proc::Output o;
  std::string trace;
};

SimRun sim(const std::string& dir, std::vector<std::string> args, const std::string& script) {
  args.insert(args.begin(), kSim);
  args.insert(args.end(), {"--headless", "--script", "-", "--trace=" + dir + "/trace.jsonl"});
  SimRun r;
  r.o = proc::run(args, script);
  r.trace = proc::readFile(dir + "/trace.jsonl");
  return r;
}

// Virtual time in microseconds of the first trace line holding `needle` (after `from`).
long long timeOf(const std::string& trace, const std::string& needle, size_t from = 0) {
  const size_t at = trace.find(needle, from);
  if (at == std::string::npos) return -1;
  const size_t line = trace.rfind('\n', at);
  return std::stoll(trace.substr(line == std::string::npos ? 5 : line + 6));
}

TEST(PowerCycle, ThePowerKeyEndsALifeAndPowerOnStartsTheNextWithTheSettingsKept) {
  const std::string dir = proc::tempDir();
  const SimRun r = sim(dir, {"--sram", dir + "/sram.bin"},
                       "wait 1s\n"
                       "turn -35\n"
                       "wait 500ms\n"
                       "light 3500\n"  // the room goes dark just before the power-off
                       "key power tap\n"
                       "wait 1s\n"
                       "power on\n"
                       "wait 1s\n");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(proc::count(r.o.out, "Hello World"), 2u) << r.o.out;
  // The knob starts at the default volume 40 of the blank chip.
  EXPECT_NE(r.o.out.find("Vol: 5\n"), std::string::npos);
  // The first life found a blank chip, the second the record the power-off wrote.
  EXPECT_NE(r.o.out.find("Conf default\n"), std::string::npos);
  EXPECT_NE(r.o.out.find("Conf read\n"), std::string::npos);
  EXPECT_NE(r.o.out.find("currentVolume:5\n"), std::string::npos);
  const size_t off = r.trace.find(R"("ev":"power","state":"off")");
  const size_t on = r.trace.find(R"("ev":"power","state":"on")");
  ASSERT_NE(off, std::string::npos);
  ASSERT_NE(on, std::string::npos);
  EXPECT_LT(off, on);
  // The tap holds the key for 100 ms; the latch goes at the first look after the release.
  const long long latch = timeOf(r.trace, R"("ev":"gpio","port":"A","pin":0,"level":1)");
  EXPECT_GT(latch, 1600000);
  EXPECT_LE(latch, 1650000);
  // The dark room is still dark after the power cycle: the dimmer's first reading dims.
  EXPECT_NE(r.trace.find(R"("ev":"backlight","duty":10,"high":5,"period":512)", on),
            std::string::npos);
}

TEST(PowerCycle, TheIdleTimerSwitchesOffAfterTwoHundredFiftySeconds) {
  const std::string dir = proc::tempDir();
  const SimRun r = sim(dir, {"--duration", "300s"}, "");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_NE(r.o.out.find("power off\n"), std::string::npos);
  // The input thread starts at 0.2 s; pass 5001 is 250.05 s later.
  const long long off = timeOf(r.trace, R"("ev":"power","state":"off")");
  EXPECT_GT(off, 250200000);
  EXPECT_LT(off, 250400000);
}

TEST(PowerCycle, ControlsHeldThroughAPowerCycleAreThereAtTheNextStart) {
  const std::string dir = proc::tempDir();
  const SimRun r = sim(dir, {},
                       "wait 1s\n"
                       "key power down\n"
                       "wait 200ms\n"
                       "mono on\n"  // while the board waits for the key's release
                       "key power up\n"
                       "wait 1s\n"
                       "key parents down\n"  // pressed while the board is off
                       "power on\n"
                       "wait 500ms\n");
  ASSERT_EQ(r.o.status, 0) << r.o.err;
  // One switch-off only: the parents' key held at power-on asks for the parents' screen
  // instead.
  EXPECT_EQ(proc::count(r.o.out, "power off"), 1u) << r.o.out;
  EXPECT_EQ(proc::count(r.o.out, "Hello World"), 2u);
}

}  // namespace
