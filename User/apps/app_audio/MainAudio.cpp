#include "MainAudio.h"

#include <cstdio>

#include "audioSettings.h"
#include "gui/User/modelUserData.h"
#include "k_storage.h"
#include "singleton.h"

// List limits: root folders, subfolders, audio files.
MainApp::MainApp()
    : Thread("MainAudioTask", 8192, 4), folderRoot(255), folderDirs(100), folderAudioFiles(100) {
  humanIO.led.continueThread = new cpp_freertos::BinarySemaphore();
  humanIO.led.Start();
  humanIO.Start();
}

void MainApp::Run() {
  Singleton<_AudioSettings>::Instance().init();
  PageSelect pageSelect;
  uint8_t usb_status_old = 10;
  for (;;) {
    const uint8_t status = usb_status.load(std::memory_order_relaxed);
    if (status != usb_status_old) {
      usb_status_old = status;
      switch (status) {
        case 0: pageSelect.traurig(); break;
        case 1:
          puts("Usb connected\r");
          pageSelect.gluecklich();
          break;
        case 2:
          puts("Usb mounted\r");
          pageSelect.gluecklich();
          break;
        default: break;
      }
    }
    DelayUntil(10);
  }
}
