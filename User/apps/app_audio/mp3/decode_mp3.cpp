#include "decode_mp3.h"

DecodeMp3* DecodeMp3::thisptr = nullptr;

DecodeMp3::DecodeMp3(Dac& d) : Thread("DecodeMp3", 16384, 5), dac(d) {
  thisptr = this;
  mp3DataInQueue = new cpp_freertos::Queue(5, sizeof(Mp3DataIn));
}

void DecodeMp3::Run() {
  for (;;) {
    static Mp3DataIn chunk;
    mp3DataInQueue->Dequeue(&chunk, portMAX_DELAY);
  }
}
