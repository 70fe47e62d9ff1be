// A board running pieces of the firmware without its start-up: the firmware's clock tree,
// the console, and a test body in a task of the main loop's priority.
#pragma once

#include <functional>

#include "FreeRTOS.h"
#include "board_child.h"
#include "board_clocks.h"
#include "stm32f7xx_hal.h"
#include "task.h"
#include "usart1.h"

namespace boardtest {

// Ends the run once the console has sent what the firmware printed: it sends in the
// background, 39 us a byte, so a run ended at once would cut the last lines off. From a task.
inline void endRunAfterConsole() {
  Usart1::flush();
  simk::endRun(0, "");
}

// Runs `body` in a task named "MainAudioTask" (priority 4) after `prepare` has run in the
// main context; the clocks and the console are up. The run ends when the body returns.
inline Result inFirmwareTask(const std::function<void()>& body, simk::Time duration = 2 * simk::kS,
                             const std::function<void()>& prepare = {}) {
  Options o;
  o.duration = duration;
  return run(
      [&] {
        firmwareClocks();
        Usart1::initUsart();
        Usart1::initialized = true;
        if (prepare) prepare();
        static std::function<void()> task;
        task = body;
        xTaskCreate(
            [](void*) {
              task();
              endRunAfterConsole();
            },
            "MainAudioTask", 8192, nullptr, 4, nullptr);
      },
      o);
}

}  // namespace boardtest
