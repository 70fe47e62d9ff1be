// Runs settings code on a fresh simulated board and reads back what the board saw: the
// codec's control-bus writes and the SRAM transfers from the trace, split at named steps.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "FreeRTOS.h"
#include "board_child.h"
#include "firmware_board.h"
#include "sram.h"
#include "sram/sram_data.h"
#include "task.h"
#include "trace.h"
#include "usart1.h"

namespace settingstest {

// In the child: a named point in the trace.
inline void step(const std::string& name) { simtrace::Event("step").str("name", name); }

inline void boardClocks() { boardtest::firmwareClocks(); }

// Runs `body` in a task of the main loop's priority after `prepare` (chip content, other
// tasks) has run in the main context; the console is up.
inline boardtest::Result onBoard(std::function<void()> body, std::function<void()> prepare = {},
                                 simk::Time duration = 2 * simk::kS) {
  return boardtest::inFirmwareTask(body, duration, prepare);
}

// In the child: puts `record` at address 0 of the chip.
inline void storeOnChip(const SramDataStruct& record) { simsram::write(0, &record, sizeof record); }

// What the board saw, one line each: "codec 0026=0154", "mute 1", "sram write 16660" and
// "step NAME".
inline std::string busLog(const std::string& trace) {
  static const std::regex codec(R"re("ev":"codec","reg":(\d+),"val":(\d+))re");
  static const std::regex mute(R"re("ev":"codec","mute":(true|false))re");
  static const std::regex sram(R"re("ev":"sram","op":"(\w+)","bytes":(\d+))re");
  static const std::regex stepName(R"re("ev":"step","name":"([^"]*)")re");
  std::istringstream in(trace);
  std::string line, out;
  std::smatch m;
  char buf[32];
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, codec)) {
      std::snprintf(buf, sizeof buf, "codec %04X=%04X", std::stoi(m[1]), std::stoi(m[2]));
      out += std::string(buf) + "\n";
    } else if (std::regex_search(line, m, mute)) {
      out += std::string("mute ") + (m[1] == "true" ? "1" : "0") + "\n";
    } else if (std::regex_search(line, m, sram)) {
      out += "sram " + m[1].str() + " " + m[2].str() + "\n";
    } else if (std::regex_search(line, m, stepName)) {
      out += "step " + m[1].str() + "\n";
    }
  }
  return out;
}

// The lines of `log` after "step from" and before the next step.
inline std::string atStep(const std::string& log, const std::string& from) {
  const std::string marker = "step " + from + "\n";
  const size_t start = log.find(marker);
  if (start == std::string::npos) return "(no step " + from + ")";
  const size_t begin = start + marker.size();
  const size_t end = log.find("step ", begin);
  return log.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace settingstest
