#include "FolderAudioFiles.h"

#include <cstdio>
#include <utility>

#include "fileNames.h"

DIR FolderAudioFiles::currentDir;
FILINFO FolderAudioFiles::fileInfo;

void FolderAudioFiles::refresh(std::string path) {
  folder = std::move(path);
  // An empty path is no playback folder (the chosen one is not in the list). The file system
  // would open the drive's current directory, which a picture load leaves in a root folder,
  // and offer that root folder's own files, which are never played.
  const bool opened = !folder.empty() && f_opendir(&currentDir, folder.c_str()) == FR_OK;
  printf("open %s\r\n", folder.c_str());
  if (folder.empty()) {
    fileList.clear();
    return;
  }
  if (!opened) return;
  fileList.clear();
  for (;;) {
    if (f_readdir(&currentDir, &fileInfo) != FR_OK || fileInfo.fname[0] == '\0') break;
    if ((fileInfo.fattrib & AM_DIR) != 0) {
      printf("dir %s , %s\r\n", folder.c_str(), fileInfo.fname);
      continue;
    }
    if (!isAudioFile(fileInfo.fname)) continue;
    printf("music: %s\r\n", fileInfo.fname);
    // Taken while the list holds at most MaxEntries, so it ends at MaxEntries + 1.
    if (fileList.size() > MaxEntries) continue;
    fileList.push_back(fileInfo.fname);
  }
  fileList.sort(compareDirEntries);
  f_closedir(&currentDir);
}

std::string FolderAudioFiles::getAudioFileName(uint16_t index) {
  if (index >= fileList.size()) return std::string();
  auto it = fileList.begin();
  for (uint16_t i = 0; i < index; ++i) ++it;
  std::string path = folder + "\\" + *it;
  printf("selected %i, %s\r\n", index, path.c_str());
  return path;
}

uint16_t FolderAudioFiles::getNrAudioFiles() { return static_cast<uint16_t>(fileList.size()); }

bool FolderAudioFiles::compareDirEntries(const std::string& a, const std::string& b) {
  return nameSortsBefore(a, b);
}

int FolderAudioFiles::strcicmp(const char* a, const char* b) { return ::strcicmp(a, b); }
