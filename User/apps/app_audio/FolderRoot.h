// The stick's root folders: the list of them (rootDirList) with each folder's title picture
// and number of subfolders, built after every mount, and the six picture slots that hold the
// title pictures, whole and undecoded, for the screens.
#pragma once

#include <cstdint>
#include <string>

#include "ff.h"
#include "gui/User/modelUserData.h"
#include "sram/sram_data.h"

// Room of one picture slot: a title picture file may have at most this many bytes.
constexpr uint32_t MAX_IMG_SIZE = 66 * 1024;
// Slot 0 is the main screen's picture; the overview screen shows slots 0-5.
constexpr uint8_t PICTURE_SLOTS = 6;

class FolderRoot {
 public:
  explicit FolderRoot(uint16_t maxEntries) : MaxEntries(maxEntries) {}

  // Rebuilds rootDirList from the stick's root: its folders, not hidden, at most
  // MaxEntries + 1 in directory order, then sorted by name. False (list unchanged) when the
  // root cannot be opened. The root stays open in rootDir until the stick goes.
  virtual bool refreshFolder();
  // Subfolders of a root folder, hidden ones included; 0 when it cannot be opened.
  uint32_t findSubfolderCount(const std::string& foldername);
  static bool compareDirEntries(const DirEntry& a, const DirEntry& b);
  // Copies of a root folder's name and picture name; empty when index is past the list.
  std::string getFoldername(uint32_t index);
  std::string getFolderPictureFileName(uint32_t index);
  // Reads the picture of root folder `index` into picture slot `slot` (0-5). The slot's size
  // is 0 whenever no complete picture could be read. Leaves the drive's current directory
  // in that folder.
  void loadPicture(uint32_t index, uint8_t slot);

  const uint16_t MaxEntries;
  uint8_t prev_usb_status = 0;  // last file-system state the main loop acted on

  static DIR rootDir;
  static DIR dir;
  static FILINFO fileInfo;
  // In the board's external SDRAM. Written by the main loop, read by the screens only after
  // the screen request that follows the loads.
  static uint8_t titlePictureBuffer[PICTURE_SLOTS][MAX_IMG_SIZE];
  static uint32_t titlePictureSize[PICTURE_SLOTS];
  // The connected stick as its enumeration reported it; the serial is always terminated.
  static UsbIdentifier usbIdentifier;

 private:
  // Fills the entry's picture name and subfolder count from one pass over the folder.
  void scanFolder(DirEntry& entry);
};

// Called by the USB host library during enumeration; they fill FolderRoot::usbIdentifier.
void cbUsbVid(uint16_t vid);
void cbUsbPid(uint16_t pid);
void cbUsbSerial(const char* serial);
