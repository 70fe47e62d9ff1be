#include "FolderDirectories.h"

#include <cstdio>

#include "fileNames.h"

DIR FolderDirectories::currentDir;
FILINFO FolderDirectories::fileInfo;

uint32_t FolderDirectories::refresh(const std::string& name) {
  folder = "0:\\" + name;
  // An empty name is no root folder: opening "0:\" would offer the root folders themselves
  // as playback folders, and their own files for playing.
  const bool opened = !name.empty() && f_opendir(&currentDir, folder.c_str()) == FR_OK;
  printf("open %s\r\n", folder.c_str());
  if (name.empty()) {
    dirList.clear();
    puts("sort finished\r");
    return 0;
  }
  if (!opened) return 0;
  dirList.clear();
  for (;;) {
    if (f_readdir(&currentDir, &fileInfo) != FR_OK || fileInfo.fname[0] == '\0') break;
    if ((fileInfo.fattrib & AM_DIR) != 0) {
      printf("dir %s , %s\r\n", name.c_str(), fileInfo.fname);
      if ((fileInfo.fattrib & AM_HID) != 0) continue;
      // Taken while the list holds at most MaxEntries, so it ends at MaxEntries + 1.
      if (dirList.size() > MaxEntries) continue;
      if (isNeverListed(fileInfo.fname)) continue;
      dirList.push_back(fileInfo.fname);
    } else {
      const char* ext = get_filename_ext(fileInfo.fname);
      if (::strcicmp("wav", ext) == 0 || ::strcicmp("mp3", ext) == 0) {
        printf("music: %s\r\n", fileInfo.fname);
      }
    }
  }
  dirList.sort(compareDirEntries);
  puts("sort finished\r");
  f_closedir(&currentDir);
  return static_cast<uint32_t>(dirList.size());
}

std::string FolderDirectories::getFolderName(uint16_t index) {
  if (index >= dirList.size()) return std::string();
  auto it = dirList.begin();
  for (uint16_t i = 0; i < index; ++i) ++it;
  std::string path = folder + "\\" + *it;
  printf("selected %i, %s\r\n", index, path.c_str());
  return path;
}

uint16_t FolderDirectories::getNrFolders() { return static_cast<uint16_t>(dirList.size()); }

bool FolderDirectories::compareDirEntries(const std::string& a, const std::string& b) {
  return nameSortsBefore(a, b);
}

int FolderDirectories::strcicmp(const char* a, const char* b) { return ::strcicmp(a, b); }
