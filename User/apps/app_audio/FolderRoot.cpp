#include "FolderRoot.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "board_memory.h"
#include "fileNames.h"
#include "stm32f7xx.h"

DIR FolderRoot::rootDir;
DIR FolderRoot::dir;
FILINFO FolderRoot::fileInfo;
// The picture slots lie in the external SDRAM, the stick identifier in the tightly coupled
// data RAM.
SDRAM_DATA uint8_t FolderRoot::titlePictureBuffer[PICTURE_SLOTS][MAX_IMG_SIZE];
SDRAM_DATA uint32_t FolderRoot::titlePictureSize[PICTURE_SLOTS];
DTCM_DATA UsbIdentifier FolderRoot::usbIdentifier;

namespace {

// The file a picture is read through; only the main loop loads pictures.
FIL pictureFile;

// Root folders are named by absolute path, so that the lists do not depend on the drive's
// current directory, which loadPicture leaves inside a folder.
std::string rootPath(const std::string& foldername) { return "0:\\" + foldername; }

}  // namespace

bool FolderRoot::refreshFolder() {
  // "0:" alone would name the drive's current directory, not its root.
  if (f_opendir(&rootDir, "0:\\") != FR_OK) {
    puts("open root err");
    return false;
  }
  rootDirList.clear();
  for (;;) {
    if (f_readdir(&rootDir, &fileInfo) != FR_OK || fileInfo.fname[0] == '\0') break;
    if ((fileInfo.fattrib & AM_DIR) == 0 || (fileInfo.fattrib & AM_HID) != 0) continue;
    // The list takes entries while it holds at most MaxEntries, so it ends at MaxEntries + 1.
    if (rootDirList.size() > MaxEntries) continue;
    DirEntry entry;
    entry.foldername = fileInfo.fname;
    if (isNeverListed(entry.foldername)) continue;
    // One pass over the folder finds its picture and counts its subfolders; it reuses
    // fileInfo, the root's position is kept in rootDir.
    scanFolder(entry);
    rootDirList.push_back(std::move(entry));
  }
  std::sort(rootDirList.begin(), rootDirList.end(), compareDirEntries);
  for (const DirEntry& entry : rootDirList) {
    std::cout << "Folder: " << entry.foldername << "\r\n Pic:" << entry.pictureFileName
              << "\r\n Count:" << entry.subfolderCount << "\r\n";
  }
  return true;
}

// The folder's picture, the first name in directory order that ends in .bmp in any case, and
// its subfolders (hidden ones included), in one pass over its entries: what the picture
// search (f_findfirst with "*.bmp") and findSubfolderCount find, with one look-up of the
// folder instead of two. A folder that cannot be opened, or whose entries cannot be read
// before a picture is found, prints "open root err" as the picture search does.
void FolderRoot::scanFolder(DirEntry& entry) {
  entry.pictureFileName.clear();
  entry.subfolderCount = 0;
  const std::string path = rootPath(entry.foldername);
  if (f_opendir(&dir, path.c_str()) != FR_OK) {
    puts("open root err");
    return;
  }
  bool pictureFound = false;
  for (;;) {
    if (f_readdir(&dir, &fileInfo) != FR_OK) {
      if (!pictureFound) puts("open root err");
      break;
    }
    if (fileInfo.fname[0] == '\0') break;
    if (!pictureFound && isPictureName(fileInfo.fname)) {
      entry.pictureFileName = fileInfo.fname;
      pictureFound = true;
    }
    if ((fileInfo.fattrib & AM_DIR) != 0 && !isNeverListed(fileInfo.fname)) ++entry.subfolderCount;
  }
  f_closedir(&dir);
}

uint32_t FolderRoot::findSubfolderCount(const std::string& foldername) {
  const std::string path = rootPath(foldername);
  if (f_opendir(&dir, path.c_str()) != FR_OK) return 0;
  uint32_t count = 0;
  for (;;) {
    if (f_readdir(&dir, &fileInfo) != FR_OK || fileInfo.fname[0] == '\0') break;
    if ((fileInfo.fattrib & AM_DIR) != 0 && !isNeverListed(fileInfo.fname)) ++count;
  }
  f_closedir(&dir);
  return count;
}

bool FolderRoot::compareDirEntries(const DirEntry& a, const DirEntry& b) {
  return nameSortsBefore(a.foldername, b.foldername);
}

std::string FolderRoot::getFoldername(uint32_t index) {
  if (index >= rootDirList.size()) return std::string();
  return rootDirList[index].foldername;
}

std::string FolderRoot::getFolderPictureFileName(uint32_t index) {
  if (index >= rootDirList.size()) return std::string();
  return rootDirList[index].pictureFileName;
}

void FolderRoot::loadPicture(uint32_t index, uint8_t slot) {
  if (slot >= PICTURE_SLOTS) {
    // The callers only ever fill slots 0-5: a larger slot is a fault in the program.
    printf("loadPicture: slot %u out of range\r\n", static_cast<unsigned>(slot));
    for (;;) __WFI();
  }
  titlePictureSize[slot] = 0;
  const std::string folder = getFoldername(index);
  const std::string picture = getFolderPictureFileName(index);
  // The folder becomes the drive's current directory and stays so; the picture is opened
  // by its bare name in it. An empty name (no picture, index past the list) fails the open.
  f_chdir("0:/");
  const bool inFolder = f_chdir(folder.c_str()) == FR_OK;
  if (!inFolder || f_open(&pictureFile, picture.c_str(), FA_READ) != FR_OK) {
    std::cout << "open file failed:" << folder << "/" << picture << "\r\n";
    return;
  }
  printf("open picture success: %s / %s\r\n", folder.c_str(), picture.c_str());
  const FSIZE_t fileSize = f_size(&pictureFile);
  if (fileSize > MAX_IMG_SIZE) {
    f_close(&pictureFile);
    return;
  }
  const UINT size = static_cast<UINT>(fileSize);
  UINT got = 0;
  f_read(&pictureFile, titlePictureBuffer[slot], size, &got);
  f_close(&pictureFile);
  if (got != size) {
    printf("size mismatch: %i, %i\r\n", static_cast<int>(size), static_cast<int>(got));
    printf("picture read %i\r\n", static_cast<int>(got));
    // The decoder would take the missing end of the file from the slot's old bytes.
    return;
  }
  titlePictureSize[slot] = size;
  printf("picture read %i\r\n", static_cast<int>(got));
}

void cbUsbVid(uint16_t vid) { FolderRoot::usbIdentifier.vid = vid; }

void cbUsbPid(uint16_t pid) { FolderRoot::usbIdentifier.pid = pid; }

void cbUsbSerial(const char* serial) {
  char* field = FolderRoot::usbIdentifier.serial;
  const size_t room = sizeof FolderRoot::usbIdentifier.serial;
  if (serial == nullptr) serial = "";
  // At most room - 1 characters, so that the field always ends in a terminator.
  size_t n = 0;
  while (n + 1 < room && serial[n] != '\0') {
    field[n] = serial[n];
    ++n;
  }
  std::memset(field + n, 0, room - n);
}
