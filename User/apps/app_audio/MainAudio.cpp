#include "MainAudio.h"

#include <cstdio>
#include <string>

#include "audioSettings.h"
#include "fileNames.h"
#include "k_storage.h"
#include "singleton.h"

namespace {

_AudioSettings& settings() { return Singleton<_AudioSettings>::Instance(); }

// Status LED states.
constexpr uint8_t LED_NO_STICK = 0;
constexpr uint8_t LED_STICK = 1;
constexpr uint8_t LED_PLAYER = 2;

}  // namespace

// List limits: root folders, subfolders, audio files.
MainApp::MainApp()
    : Thread("MainAudioTask", 8192, 4), folderRoot(255), folderDirs(100), folderAudioFiles(100) {
  humanIO.led.continueThread = new cpp_freertos::BinarySemaphore();
  humanIO.led.Start();
  humanIO.Start();
}

void MainApp::stopPlayback() {
  audioplayer.stop();
  humanIO.led.setStatus(LED_PLAYER);
  while (audioplayer.isPlaying()) Delay(20);
  playbackStatus.status = IDLE;
}

void MainApp::startPlayback() {
  settings().playbackNewTrack(playbackStatus.currentFileNumber);
  const std::string name = folderAudioFiles.getAudioFileName(playbackStatus.currentFileNumber);
  audioplayer.playFile(name, playbackStatus.startPosition);
  playbackStatus.status = PLAYING;
  humanIO.led.setStatus(LED_PLAYER);
}

uint32_t MainApp::currentRootFolder() {
  const uint32_t stored = settings().getRootFolder();
  return stored < rootDirList.size() ? stored : 0;
}

// What the loop does when the stick's state becomes `status`.
void MainApp::actOnStick(PageSelect& pageSelect, uint8_t status) {
  switch (status) {
    case 0:
      stopPlayback();
      humanIO.led.setStatus(LED_NO_STICK);
      pageSelect.traurig();
      break;
    case 1:
      puts("Usb connected\r");
      pageSelect.gluecklich();
      break;
    case 2:
      puts("Usb mounted\r");
      humanIO.led.setStatus(LED_STICK);
      pageSelect.gluecklich();
      break;
    default: break;
  }
}

// A stick can be pulled and the same or another one mounted while a turn is busy (a long
// listing): the status bytes then look as they did, but the stick service has counted the
// removal. The loop acts on the removal first, so that the stick now in is listed afresh.
void MainApp::followStickChanges(PageSelect& pageSelect, uint8_t& usbStatusOld) {
  const uint32_t changes = StorageChanges.load();
  if (changes == seenStorageChanges) return;
  seenStorageChanges = changes;
  if (usbStatusOld != 0) {
    usbStatusOld = 0;
    actOnStick(pageSelect, 0);
  }
  if (folderRoot.prev_usb_status != 0) {
    folderRoot.prev_usb_status = 0;
    forgetFolders();
  }
}

// Acts once on every change of the stick's state.
void MainApp::followStick(PageSelect& pageSelect, uint8_t& usbStatusOld) {
  const uint8_t status = usb_status.load(std::memory_order_relaxed);
  if (status == usbStatusOld) return;
  usbStatusOld = status;
  actOnStick(pageSelect, status);
}

void MainApp::forgetFolders() {
  rootDirList.clear();
  rootDirList.shrink_to_fit();
  f_closedir(&FolderRoot::rootDir);
}

// Reads or forgets the root folders when the file system comes or goes, then shows the
// main screen on the current root folder with its picture.
void MainApp::followFileSystem(PageSelect& pageSelect) {
  const uint8_t state = static_cast<uint8_t>(StorageStatus[0].load(std::memory_order_relaxed));
  if (state == folderRoot.prev_usb_status) return;
  folderRoot.prev_usb_status = state;
  // Reading a big stick takes a while: the device is busy, not idle, until the list is shown,
  // and the idle count starts from there.
  const bool listing = state != 0;
  if (listing) humanIO.powerOffHold(true);
  if (state == 0) {
    forgetFolders();
  } else {
    folderRoot.refreshFolder();
  }
  if (usb_status.load(std::memory_order_relaxed) == 2) {
    const uint32_t root = currentRootFolder();
    pageSelect.main(root);
    folderRoot.loadPicture(root, 0);
    pageSelect.folderPictureUpdate();
  }
  if (listing) humanIO.powerOffHold(false);
}

void MainApp::startFolder(const ModelUserEvent& event) {
  _AudioSettings& s = settings();
  stopPlayback();
  s.changeRootFolder(static_cast<uint16_t>(event.selectedMainFolder));
  folderDirs.refresh(folderRoot.getFoldername(event.selectedMainFolder));
  std::string playbackFolderName;
  if (folderDirs.getNrFolders() > 0 && event.selectedPlaybackFolder < folderDirs.getNrFolders()) {
    // The list says "selected ..." for the folder it returns, and the loop says it again.
    playbackFolderName = folderDirs.getFolderName(event.selectedPlaybackFolder);
    printf("selected %i, %s\r\n", event.selectedPlaybackFolder, playbackFolderName.c_str());
  }
  printf("playbackFolderName: %s\r\n", playbackFolderName.c_str());
  folderAudioFiles.refresh(playbackFolderName);
  s.changeAudioFolder(event.selectedPlaybackFolder);
  if (s.getPositionResume()) {
    playbackStatus.currentFileNumber = s.getAudioTrackNumber();
    playbackStatus.startPosition = s.getFilePosition();
  } else {
    playbackStatus.currentFileNumber = 0;
    playbackStatus.startPosition = 0;
  }
  startPlayback();
}

void MainApp::handle(const ModelUserEvent& event, PageSelect& pageSelect) {
  _AudioSettings& s = settings();
  switch (event.button) {
    case BTN_PlayPause: audioplayer.pause(); break;
    case BTN_Forward:
      stopPlayback();
      if (playbackStatus.currentFileNumber < folderAudioFiles.getNrAudioFiles()) {
        ++playbackStatus.currentFileNumber;
      } else {
        playbackStatus.status = END;
      }
      playbackStatus.startPosition = 0;
      startPlayback();
      break;
    case BTN_Rewind:
      stopPlayback();
      playbackStatus.startPosition = 0;
      if (playbackStatus.currentFileNumber > 0) --playbackStatus.currentFileNumber;
      startPlayback();
      break;
    case BTN_Parent: pageSelect.parent(s.getModelParentsSettings()); break;
    case BTN_Folder_Forward:
    case BTN_Folder_Rewind:
    case BTN_Folder_Refresh:
      stopPlayback();
      s.changeRootFolder(static_cast<uint16_t>(event.selectedMainFolder));
      folderRoot.loadPicture(event.selectedMainFolder, 0);
      pageSelect.folderPictureUpdate();
      break;
    case BTN_PlaybackFolder: startFolder(event); break;
    case BTN_Overview_Refresh:
    case BTN_Overview_Back:
    case BTN_Overview_Forward:
      stopPlayback();
      printf("OverviewPage: %i\r\n", static_cast<int>(event.parameter));
      for (uint32_t k = 0; k < PICTURE_SLOTS; ++k) {
        folderRoot.loadPicture(PICTURE_SLOTS * event.parameter + k, static_cast<uint8_t>(k));
      }
      pageSelect.folderOverviewPictureUpdate();
      break;
    case BTN_ParentSettingsChanged: {
      const ModelParentsSettings& p = event.parentSettings;
      s.setMaxVolume(static_cast<uint16_t>(p.maxVolume));
      s.set3d(static_cast<uint16_t>(p.effect3d));
      s.setSpkBoost(static_cast<uint16_t>(p.spkBoost));
      s.setPositionResume(p.positionResume);
      s.setEqualizer(static_cast<uint16_t>(p.equalizer[0]), static_cast<uint16_t>(p.equalizer[1]),
                     static_cast<uint16_t>(p.equalizer[2]), static_cast<uint16_t>(p.equalizer[3]),
                     static_cast<uint16_t>(p.equalizer[4]));
      s.triggerWrite();
      break;
    }
    default: break;  // BTN_Other and unknown codes
  }
}

// Starts the next track when one has ended; saves the record while nothing plays.
void MainApp::advance() {
  _AudioSettings& s = settings();
  if (playbackStatus.status == PLAYING) {
    if (audioplayer.isPlaying()) return;
    if (playbackStatus.currentFileNumber < folderAudioFiles.getNrAudioFiles()) {
      ++playbackStatus.currentFileNumber;
      s.playbackNewTrack(playbackStatus.currentFileNumber);
      const std::string name = folderAudioFiles.getAudioFileName(playbackStatus.currentFileNumber);
      if (strcicmp(get_filename_ext(name.c_str()), "mp3") == 0) {
        audioplayer.playFile(name, 0);
      } else {
        printf("unknown audio format: %s\r\n", name.c_str());
      }
    } else {
      playbackStatus.status = END;
      playbackStatus.currentFileNumber = 0;
      s.playbackNewTrack(0);
      s.playbackFilePosition(0);  // the folder starts again from its beginning, not in its middle
      s.triggerWrite();
    }
    return;
  }
  s.triggerWrite();
}

void MainApp::Run() {
  settings().init();
  PageSelect pageSelect;
  uint8_t usbStatusOld = 10;
  seenStorageChanges = StorageChanges.load();
  for (;;) {
    followStickChanges(pageSelect, usbStatusOld);
    followStick(pageSelect, usbStatusOld);
    followFileSystem(pageSelect);
    if (rootDirList.empty()) {
      DelayUntil(10);
      continue;
    }
    ModelUserEvent event;
    if (guiQueueModelUserEvent->Dequeue(&event, 10)) {
      humanIO.powerOffReset();
      handle(event, pageSelect);
    }
    if (audioplayer.isPlaying()) humanIO.powerOffReset();
    advance();
  }
}
