// Status LED and light sensor thread ("LedThread"): shows the player's state as the colour
// of the second WS2811 LED, sends the colour table to the chain whenever a colour changes and
// at least every 200 ticks, and measures the room's light, from which it sets the backlight
// and the brightness `lum` of all LED colours.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpp_freertos/semaphore.hpp"
#include "cpp_freertos/thread.hpp"
#include "dim.h"
#include "ldr.h"

class Led : public cpp_freertos::Thread {
 public:
  // Status values of setStatus.
  static constexpr uint8_t STATUS_STICK_REMOVED = 0;  // blue
  static constexpr uint8_t STATUS_STICK_MOUNTED = 1;  // red
  static constexpr uint8_t STATUS_PLAYBACK = 2;       // green
  // Longest wait between two sends of the colour table.
  static constexpr TickType_t REFRESH_TICKS = 200;

  Led();
  ~Led() override = default;

  // Any thread: sets LED 1 from `status` at the current brightness and wakes the thread to
  // send the table at once.
  void setStatus(uint8_t status);

  DimBacklight dimBacklight;
  Ldr ldr;
  // Current brightness 5..512; written by this thread, read by others.
  std::atomic<uint16_t> lum{10};
  // Wakes the thread early; created empty by the main application's constructor.
  cpp_freertos::BinarySemaphore* continueThread = nullptr;

 protected:
  void Run() override;
};
