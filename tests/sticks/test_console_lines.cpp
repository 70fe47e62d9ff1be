// Threads printing at once: the main loop (a settings dump of 4,096 lines, then a big stick's
// list), the stick service ("usb config", "usb active", "mount ok") and the human-input thread
// (the knob turned during the list). Every line arrives, whole, in each thread's order, and
// the device does not wait for the console meanwhile.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "stick_images.h"

using namespace sticks;

namespace {

// The log's lines without their line ends, and without the settings store's "w" marks, which
// it prints without a line end: each stands in front of the next line of its thread.
std::vector<std::string> logLines(const std::string& log) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t marks = line.find_first_not_of('w');
    out.push_back(marks == std::string::npos ? std::string() : line.substr(marks));
  }
  return out;
}

// The lines that start with `prefix`, in order.
std::vector<std::string> starting(const std::vector<std::string>& lines, const std::string& p) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.starts_with(p)) out.push_back(l);
  }
  return out;
}

TEST(ConsoleLines, ThreeThreadsPrintingAtOnceLoseNoLineAndMixNone) {
  std::string script = "wait 600ms\n";
  for (int i = 0; i < 5; ++i) script += "turn 1\nwait 300ms\n";
  script += "wait 2s\nevent BTN_PlaybackFolder main=199 playback=15\nwait 14s\n";
  const proc::Sim r = simulate(bigStick(), script, {"--sram", sramWithFolderCount(256)});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = logLines(r.log);

  std::vector<std::string> dump;
  for (int root = 0; root < 256; ++root) {
    for (int audio = 0; audio < 16; ++audio) {
      dump.push_back("root: " + std::to_string(root) + ",  audio: " + std::to_string(audio) +
                     ",  currentFileNumber: 0,  positionInFile: 0");
    }
  }
  EXPECT_EQ(starting(lines, "root: "), dump);
  EXPECT_EQ(starting(lines, "usb "), (std::vector<std::string>{"usb config", "usb active"}));
  EXPECT_EQ(starting(lines, "mount "), (std::vector<std::string>{"mount ok"}));
  EXPECT_EQ(starting(lines, "Vol: "),
            (std::vector<std::string>{"Vol: 41", "Vol: 42", "Vol: 43", "Vol: 44", "Vol: 45"}));
  EXPECT_EQ(starting(lines, "Folder: ").size(), 256u);
  EXPECT_EQ(starting(lines, " Count:"), std::vector<std::string>(256, " Count:16"));
  // Nothing else is glued to a line: every line is one of the device's messages.
  for (const auto& l : lines) {
    EXPECT_EQ(l.find("Vol:"), l.starts_with("Vol: ") ? 0u : std::string::npos) << l;
    EXPECT_EQ(l.find("usb "), l.starts_with("usb ") ? 0u : std::string::npos) << l;
    EXPECT_EQ(l.find("root: "), l.starts_with("root: ") ? 0u : std::string::npos) << l;
  }
  // The console needs about 11 s for the dump; the device plays the folder chosen at 4.1 s
  // at once all the same.
  const auto starts = eventTimes(r.trace, "audio", R"("state":"start")");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_LE(starts[0] - 4100000, 150000);
  EXPECT_GT(eventTimes(r.trace, "console", "root: 255,  audio: 15").at(0), 10000000);
}

}  // namespace
