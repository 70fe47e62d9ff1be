// The main control loop ("MainAudioTask"): follows the stick, tells the screens what to
// show, takes the user's requests and drives the player.
#pragma once

#include <cstdint>

#include "FolderAudioFiles.h"
#include "FolderDirectories.h"
#include "FolderRoot.h"
#include "audio_player.h"
#include "cpp_freertos/thread.hpp"
#include "gui/User/modelUserData.h"
#include "humanIo.h"

class MainApp : public cpp_freertos::Thread {
 public:
  MainApp();
  ~MainApp() override = default;

  // Ends the running track and waits until the player has closed it.
  void stopPlayback();
  // Plays the current track of the current folder from the start position.
  void startPlayback();

  enum Status : uint8_t { IDLE = 0, PLAYING = 1, END = 2 };
  struct PlaybackStatus {
    uint16_t currentFileNumber = 0;
    // Where the track starts: a byte offset in the file (0: the start, after an ID3v2 tag).
    uint32_t startPosition = 0;
    Status status = IDLE;
  };
  PlaybackStatus playbackStatus;

 protected:
  void Run() override;

 private:
  void actOnStick(PageSelect& pageSelect, uint8_t status);
  void followStickChanges(PageSelect& pageSelect, uint8_t& usbStatusOld);
  void followStick(PageSelect& pageSelect, uint8_t& usbStatusOld);
  void followFileSystem(PageSelect& pageSelect);
  // Empties the root-folder list and closes the root (the stick has gone).
  void forgetFolders();
  void handle(const ModelUserEvent& event, PageSelect& pageSelect);
  void startFolder(const ModelUserEvent& event);
  void advance();
  // The stored root folder if the stick has it, else the first one.
  uint32_t currentRootFolder();

  FolderRoot folderRoot;
  FolderDirectories folderDirs;
  FolderAudioFiles folderAudioFiles;
  AudioPlayer audioplayer;
  HumanIO humanIO;
  // The stick service's count of removals as the loop last acted on it.
  uint32_t seenStorageChanges = 0;
};
