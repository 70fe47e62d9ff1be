// Status LED and light sensor thread ("LedThread").
#pragma once

#include "cpp_freertos/semaphore.hpp"
#include "cpp_freertos/thread.hpp"

class Led : public cpp_freertos::Thread {
 public:
  Led();
  // Wakes the thread early; created empty by the main application's constructor.
  cpp_freertos::BinarySemaphore* continueThread = nullptr;

 protected:
  void Run() override;
};
