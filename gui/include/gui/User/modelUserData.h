// The records that travel between the screens' model and the core, their codes, and the two
// queues that carry them. Records are copied whole into queue elements of their own size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cpp_freertos/queue.hpp"
#include "freeRtosAllocator.h"

// The parents' settings as the screens and the main loop exchange them.
struct ModelParentsSettings {
  int32_t spkBoost = 0;         // speaker boost step, 0..7
  int32_t equalizer[5] = {};    // band gains 0..24, 12 = flat
  int32_t maxVolume = 0;        // volume ceiling 0..63
  int32_t effect3d = 0;         // 3D depth 0..31
  bool positionResume = false;  // resume a folder at its stored track and position
  bool changed = false;         // set by a sender that delivers new values
};

// What the user or the hardware asked the main loop for.
enum ButtonEventEnum : uint8_t {
  BTN_Other = 0,
  BTN_PlayPause = 1,
  BTN_Forward = 2,
  BTN_Rewind = 3,
  BTN_Parent = 4,
  BTN_Folder_Forward = 5,
  BTN_Folder_Rewind = 6,
  BTN_Folder_Refresh = 7,
  BTN_PlaybackFolder = 8,
  BTN_Overview_Refresh = 9,
  BTN_Overview_Back = 10,
  BTN_Overview_Forward = 11,
  BTN_ParentSettingsChanged = 12,
};

// A request to the main control loop.
struct ModelUserEvent {
  ButtonEventEnum button = BTN_Other;
  uint8_t selectedPlaybackFolder = 0;   // subfolder index for BTN_PlaybackFolder
  uint32_t selectedMainFolder = 0;      // root folder the screens show
  uint32_t parameter = 0;               // overview page for the overview codes
  ModelParentsSettings parentSettings;  // for BTN_ParentSettingsChanged
};

// What the graphics side is to show or refresh.
enum PageSelectEnum : uint8_t {
  PageMain = 0,
  PageTraurig = 1,
  PageGluecklich = 2,
  PageMainPictureUpdate = 3,
  PageOverviewPictureUpdate = 4,
  PageParent = 5,
  PagePowerOff = 6,
};

// A request to the graphics side.
struct PageSelectEvent {
  PageSelectEnum page = PageMain;
  uint32_t pageNumber = 0;                    // root folder for PageMain
  ModelParentsSettings modelParentsSettings;  // for PageParent
};

// One root folder of the stick, as the core lists it and the screens show it.
struct DirEntry {
  std::string foldername;       // long name as the file system gives it, no path
  uint32_t subfolderCount = 0;  // its subfolders, hidden ones included
  std::string pictureFileName;  // first name in it that ends in .bmp; empty when none
};

// The stick's root folders in display order; a root folder's number everywhere is its index
// here. Rebuilt by the core's main loop only, which tells the screens afterwards; the screens
// read it after that request.
extern std::vector<DirEntry, FreeRtosAllocator_namespace::FreeRtosAllocator<DirEntry>> rootDirList;

// Created by the model when the graphics framework starts; the core must not use them before.
extern cpp_freertos::Queue* guiQueuePageSelect;
extern cpp_freertos::Queue* guiQueueModelUserEvent;

// The sender's side of screen requests: each operation writes its page code (and its field)
// into the one event it keeps and sends the whole event without waiting; a full queue drops
// it. Fields an operation does not write keep what the previous one left.
class PageSelect {
 public:
  void traurig() { send(PageTraurig); }
  void gluecklich() { send(PageGluecklich); }
  void parent(const ModelParentsSettings& settings) {
    event.modelParentsSettings = settings;
    send(PageParent);
  }
  void main(uint32_t pageNumber) {
    event.pageNumber = pageNumber;
    send(PageMain);
  }
  void folderPictureUpdate() { send(PageMainPictureUpdate); }
  void folderOverviewPictureUpdate() { send(PageOverviewPictureUpdate); }

 private:
  void send(PageSelectEnum page) {
    event.page = page;
    (void)guiQueuePageSelect->Enqueue(&event, 0);
  }
  PageSelectEvent event;
};
