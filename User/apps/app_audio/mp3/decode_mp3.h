// MP3 decoder driver: the thread ("DecodeMp3") that turns file chunks into PCM blocks.
#pragma once

#include <cstdint>

#include "cpp_freertos/queue.hpp"
#include "cpp_freertos/thread.hpp"
#include "dac/dac.h"

// One chunk of the file: the bytes used of `data`, and whether the track is to end.
struct Mp3DataIn {
  uint32_t dataSize;
  uint8_t data[512];
  bool stop;
};

class DecodeMp3 : public cpp_freertos::Thread {
 public:
  explicit DecodeMp3(Dac& dac);
  static DecodeMp3* thisptr;
  cpp_freertos::Queue* mp3DataInQueue;

 protected:
  void Run() override;

 private:
  Dac& dac;
};
