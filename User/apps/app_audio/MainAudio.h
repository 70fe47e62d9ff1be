// The main control loop ("MainAudioTask"): follows the stick, tells the screens what to
// show, takes the user's requests and drives the player.
#pragma once

#include <cstdint>

#include "audio_player.h"
#include "cpp_freertos/thread.hpp"
#include "humanIo.h"

class MainApp : public cpp_freertos::Thread {
 public:
  MainApp();
  ~MainApp() override = default;

 protected:
  void Run() override;

 private:
  AudioPlayer audioplayer;
  HumanIO humanIO;
};
