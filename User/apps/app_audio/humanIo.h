// The player's physical controls ("HumanInputTask"): the volume knob, the key that opens the
// parents' settings or switches the player off, the mono switch, and the inactivity timer
// that switches the player off by itself. It applies changed parents' settings to the codec
// and shows the countdown to the switch-off as the colour of the first WS2811 LED. Owns the
// status-LED thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpp_freertos/thread.hpp"
#include "led.h"

class HumanIO : public cpp_freertos::Thread {
 public:
  // Kernel ticks per pass of the loop (50 ms with the 2 ms tick).
  static constexpr TickType_t LOOP_TICKS = 25;
  // Passes without a request and without playback before the player switches itself off
  // (250 s).
  static constexpr uint32_t POWER_OFF_PASSES = 5000;
  // At most this long the switch-off waits for the console to send what it holds (1 s).
  static constexpr TickType_t POWER_OFF_CONSOLE_TICKS = 500;

  HumanIO();
  ~HumanIO() override = default;

  // Saves the settings record, says "power off", waits for the key's release, saves what
  // changed meanwhile and switches the supply off through the power latch (PA0 high).
  void powerOff();
  // The main control loop: a request arrived or a track is playing.
  void powerOffReset() { powerOffTimer.store(0, std::memory_order_relaxed); }
  // The main control loop is busy with a stick it has just found (listing it): the idle count
  // stands at 0 while held and starts again when released.
  void powerOffHold(bool hold) {
    powerOffTimer.store(0, std::memory_order_relaxed);
    busyWithStick.store(hold, std::memory_order_relaxed);
  }

  // Loop passes since the last request or playback.
  std::atomic<uint32_t> powerOffTimer{0};
  std::atomic<bool> busyWithStick{false};
  Led led;

 protected:
  void Run() override;

 private:
  void applyParentsSettings();
  // LED 0 from the first colour component (timer at 0) to the third (switch-off due).
  void showCountdown(uint32_t idlePasses);
};
