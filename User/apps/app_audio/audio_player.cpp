#include "audio_player.h"

AudioPlayer::AudioPlayer() : Thread("AudioPlayer", 16384, 5) {
  dac.Start();
  decodeMp3 = new DecodeMp3(dac);
  decodeMp3->Start();
  playerEventQueue = new cpp_freertos::Queue(5, 1);
  Start();
}

void AudioPlayer::Run() {
  for (;;) {
    uint8_t event = 0;
    if (!playerEventQueue->Dequeue(&event, 2000)) continue;
  }
}
