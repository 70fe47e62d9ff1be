// Encoder, keys, mono switch and auto-off thread ("HumanInputTask"); owns the status LED.
#pragma once

#include "cpp_freertos/thread.hpp"
#include "led.h"

class HumanIO : public cpp_freertos::Thread {
 public:
  HumanIO();
  Led led;

 protected:
  void Run() override;
};
