// The playback folders of one root folder: its subfolders, not hidden, sorted by name. A
// playback folder's number is its index in this list.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "ff.h"
#include "freeRtosAllocator.h"

class FolderDirectories {
 public:
  explicit FolderDirectories(uint16_t maxEntries) : MaxEntries(maxEntries) {}

  // Rescans the root folder `name` (its bare name); the number of listed subfolders. 0 with
  // the list unchanged when the folder cannot be opened; an empty name lists nothing.
  uint32_t refresh(const std::string& name);
  // "0:\" + root + "\" + subfolder of entry `index`; empty when there is no such entry.
  std::string getFolderName(uint16_t index);
  uint16_t getNrFolders();

  static bool compareDirEntries(const std::string& a, const std::string& b);
  static int strcicmp(const char* a, const char* b);

  const uint16_t MaxEntries;
  static DIR currentDir;
  static FILINFO fileInfo;

 private:
  std::list<std::string, FreeRtosAllocator_namespace::FreeRtosAllocator<std::string>> dirList;
  std::string folder;  // "0:\" + the root folder's name
};
