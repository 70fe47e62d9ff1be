// The main control loop ("MainAudioTask"): follows the stick, tells the screens what to
// show, takes the user's requests and drives the player.
#pragma once

#include <cstdint>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
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
  FolderRoot folderRoot;
  FolderDirectories folderDirs;
  FolderAudioFiles folderAudioFiles;
  AudioPlayer audioplayer;
  HumanIO humanIO;
};
