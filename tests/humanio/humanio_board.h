// Human I/O on a fresh simulated board: the whole firmware or a part of it, the controls
// moved at given times, and what a person would see read back from the console and the trace.
#pragma once

#include <cstdint>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "board_child.h"
#include "board_clocks.h"
#include "inputs.h"
#include "power.h"
#include "process.h"
#include "simkernel.h"
#include "stm32f7xx_hal.h"
#include "wiring.h"

int firmware_main(void);

namespace humaniotest {

using boardtest::at;

// The whole firmware, with the power latch wired unless `latch` is false (a power-off then
// ends the run with status simpower::kPoweredOff); `prepare` runs first in the main context
// (chip content, inputs, scheduled actions, extra tasks).
inline boardtest::Result firmware(simk::Time duration, const std::function<void()>& prepare = {},
                                  bool latch = true) {
  return boardtest::run(
      [&] {
        if (latch) simboard::wirePowerLatch();
        if (prepare) prepare();
        firmware_main();
      },
      {.duration = duration, .kernelTick = false});  // the firmware brings its own tick
}

inline void boardClocks() { boardtest::firmwareClocks(); }

// One trace event of a kind: its time in microseconds and its line.
struct Event {
  std::uint64_t us = 0;
  std::string line;
};

inline std::vector<Event> events(const std::string& trace, const std::string& ev) {
  std::vector<Event> out;
  for (std::string& line : proc::events(trace, ev)) {
    out.push_back({static_cast<std::uint64_t>(proc::field(line, "t")), std::move(line)});
  }
  return out;
}

// The colours of a `leds` event, as "r,g,b r,g,b r,g,b".
inline std::string colours(const Event& e) {
  static const std::regex rgb(R"re(\[(\d+),(\d+),(\d+)\])re");
  std::string out;
  for (auto it = std::sregex_iterator(e.line.begin(), e.line.end(), rgb);
       it != std::sregex_iterator(); ++it) {
    out += (out.empty() ? "" : " ") + (*it)[1].str() + "," + (*it)[2].str() + "," + (*it)[3].str();
  }
  return out;
}

// The colours the LEDs showed at virtual time `us` (the latest burst before it).
inline std::string coloursAt(const std::string& trace, std::uint64_t us) {
  std::string shown = "(none)";
  for (const Event& e : events(trace, "leds")) {
    if (e.us > us) break;
    shown = colours(e);
  }
  return shown;
}

// The lines of `text` that start with `prefix`, each with its line end.
inline std::string linesStarting(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) out += line + "\n";
  }
  return out;
}

using proc::field;

}  // namespace humaniotest
