// The audio files of one playback folder: its MP3 files, sorted by name, played in that
// order. A file's number is its index in this list.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "ff.h"
#include "freeRtosAllocator.h"

class FolderAudioFiles {
 public:
  explicit FolderAudioFiles(uint16_t maxEntries) : MaxEntries(maxEntries) {}

  // Rescans the playback folder at `path` ("0:\root\sub"). The list is unchanged when the
  // folder cannot be opened; an empty path lists nothing.
  void refresh(std::string path);
  // `path` + "\" + file name of entry `index`; empty when there is no such entry.
  std::string getAudioFileName(uint16_t index);
  uint16_t getNrAudioFiles();

  static bool compareDirEntries(const std::string& a, const std::string& b);
  static int strcicmp(const char* a, const char* b);

  const uint16_t MaxEntries;
  static DIR currentDir;
  static FILINFO fileInfo;

 private:
  std::list<std::string, FreeRtosAllocator_namespace::FreeRtosAllocator<std::string>> fileList;
  std::string folder;  // the path as passed to refresh
};
