#include "dac.h"

Dac* Dac::thisptr = nullptr;

Dac::Dac() : Thread("DacTask", 2048, 5) {
  thisptr = this;
  audioQueue = new cpp_freertos::Queue(5, AUDIO_BLOCK_BYTES);
  eventQueue = new cpp_freertos::Queue(5, 1);
}

void Dac::Run() {
  for (;;) {
    uint8_t event = 0;
    if (!eventQueue->Dequeue(&event, 500)) continue;
  }
}
