// Parts of the firmware on a fresh board: a body in a task of the main loop's priority, or
// the human-input thread with its LED thread as the main application starts them.
#pragma once

#include <functional>

#include "FreeRTOS.h"
#include "audioSettings.h"
#include "cpp_freertos/semaphore.hpp"
#include "firmware_board.h"
#include "gui/User/modelUserData.h"
#include "humanIo.h"
#include "humanio_board.h"
#include "singleton.h"
#include "task.h"
#include "usart1.h"

namespace humaniotest {

// `body` in a task of priority 4 with the clocks and the console up; `prepare` runs first in
// the main context. The run ends when the body returns.
inline boardtest::Result inTask(const std::function<void()>& body,
                                simk::Time duration = 2 * simk::kS,
                                const std::function<void()>& prepare = {}) {
  return boardtest::inFirmwareTask(body, duration, prepare);
}

// The settings loaded, then "LedThread" and "HumanInputTask" started as the main application
// does, with the user-request queue of the screens; then `body` with the human-input object,
// in a task of the main loop's priority. The run ends at `duration` (or at a power-off when
// `latch` wires the power latch).
inline boardtest::Result humanIo(const std::function<void(HumanIO&)>& body, simk::Time duration,
                                 bool latch = false, const std::function<void()>& prepare = {}) {
  return inTask(
      [&] {
        Singleton<_AudioSettings>::Instance().init();
        auto* io = new HumanIO();
        io->led.continueThread = new cpp_freertos::BinarySemaphore();
        io->led.Start();
        io->Start();
        body(*io);
        for (;;) vTaskDelay(1000);
      },
      duration,
      [&] {
        if (latch) simboard::wirePowerLatch();
        guiQueueModelUserEvent = new cpp_freertos::Queue(5, sizeof(ModelUserEvent));
        if (prepare) prepare();
      });
}

}  // namespace humaniotest
