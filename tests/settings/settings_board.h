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
#include "sram.h"
#include "sram/sram_data.h"
#include "task.h"
#include "trace.h"
#include "usart1.h"

namespace settingstest {

// In the child: a named point in the trace.
inline void step(const std::string& name) { simtrace::Event("step").str("name", name); }

// The firmware's clock tree: 200 MHz, APB1 at 50 MHz (SPI2 at 12.5 MHz), APB2 at 100 MHz.
inline void boardClocks() {
  RCC_OscInitTypeDef osc = {};
  osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
  osc.HSEState = RCC_HSE_ON;
  osc.PLL.PLLState = RCC_PLL_ON;
  osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
  osc.PLL.PLLM = 25;
  osc.PLL.PLLN = 400;
  osc.PLL.PLLP = RCC_PLLP_DIV2;
  osc.PLL.PLLQ = 8;
  (void)HAL_RCC_OscConfig(&osc);
  (void)HAL_PWREx_EnableOverDrive();
  RCC_ClkInitTypeDef clk = {};
  clk.ClockType =
      RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
  clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
  clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
  clk.APB1CLKDivider = RCC_HCLK_DIV4;
  clk.APB2CLKDivider = RCC_HCLK_DIV2;
  (void)HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_6);
}

// Runs `body` in a task of the main loop's priority after `prepare` (chip content, other
// tasks) has run in the main context; the console is up.
inline boardtest::Result onBoard(std::function<void()> body, std::function<void()> prepare = {},
                                 simk::Time duration = 2 * simk::kS) {
  boardtest::Options options;
  options.duration = duration;
  return boardtest::run(
      [&] {
        boardClocks();
        Usart1::initUsart();
        Usart1::initialized = true;
        if (prepare) prepare();
        static std::function<void()> task;
        task = body;
        xTaskCreate(
            [](void*) {
              task();
              simk::endRun(0, "");
            },
            "MainAudioTask", 8192, nullptr, 4, nullptr);
      },
      options);
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
