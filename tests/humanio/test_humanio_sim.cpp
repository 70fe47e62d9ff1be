// Power cycles as a person runs the simulator: the power key switches the board off, the serial
// SRAM's file keeps the settings, and `power on` starts the firmware again from nothing with
// the controls as they were left. (The idle switch-off: test_humanio.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace {

TEST(PowerCycle, ThePowerKeyEndsALifeAndPowerOnStartsTheNextWithTheSettingsKept) {
  const std::string sram = proc::tempDir() + "/sram.bin";
  const proc::Sim r = proc::simulate(
      "wait 1s\nturn -35\nwait 500ms\n"
      "light 3500\n"  // the room goes dark just before the power-off
      "key power tap\nwait 1s\npower on\nwait 1s\n",
      {"--sram", sram});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(proc::count(r.out, "Hello World"), 2u) << r.out;
  // The knob starts at the default volume 40 of the blank chip. The first life found a blank
  // chip, said "power off" and saved; the second found the record the power-off wrote.
  for (const char* line :
       {"Vol: 5\n", "Conf default\n", "power off\n", "Conf read\n", "currentVolume:5\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  }
  const long long off = proc::timeOf(r.trace, R"("ev":"power","state":"off")");
  const long long on = proc::timeOf(r.trace, R"("ev":"power","state":"on")");
  ASSERT_GT(off, 0);
  EXPECT_LT(off, on);
  // The tap holds the key for 100 ms; the latch goes at the first look after the release.
  const long long latch = proc::timeOf(r.trace, R"("ev":"gpio","port":"A","pin":0,"level":1)");
  EXPECT_GT(latch, 1600000);
  EXPECT_LE(latch, 1650000);
  // The dark room is still dark after the power cycle: the dimmer's first reading dims.
  EXPECT_GT(proc::timeOf(r.trace, R"("ev":"backlight","duty":10,"high":5,"period":512)", on), 0);
}

TEST(PowerCycle, ControlsHeldThroughAPowerCycleAreThereAtTheNextStart) {
  const proc::Sim r = proc::simulate(
      "wait 1s\nkey power down\nwait 200ms\n"
      "mono on\n"  // while the board waits for the key's release
      "key power up\nwait 1s\n"
      "key parents down\n"  // pressed while the board is off
      "power on\nwait 500ms\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // One switch-off only: the parents' key held at power-on asks for the parents' screen
  // instead.
  EXPECT_EQ(proc::count(r.out, "power off"), 1u) << r.out;
  EXPECT_EQ(proc::count(r.out, "Hello World"), 2u);
}

}  // namespace
