// Benchmark of the file system: a directory scan as the folder list makes it (300 folders of
// 20 entries, each opened, read through and searched for a picture) and a 10 MB file read in
// 512-byte chunks as the track player reads. Prints wall time, the ratio to a plain memcpy of
// the same bytes in this process, and the driver's transfers (calls and sectors), which the
// USB stick model turns into virtual time. Figures only; nothing passes or fails.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fat_test_util.h"
#include "ff.h"

extern "C" void vAssertCalled(const char*, int) {}
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }

using namespace fattest;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

volatile uint8_t sink;

}  // namespace

int main() {
  // The stick (FAT16, 4 KiB clusters): 300 folders of 19 files and a picture, and a 10 MB track.
  const std::string tree = scratch() + "/tree";
  for (int d = 0; d < 300; ++d) {
    const std::string dir = tree + "/Folder " + std::to_string(d);
    std::filesystem::create_directories(dir);
    for (int f = 0; f < 19; ++f) writeFile(dir + "/Track " + std::to_string(f) + ".mp3", {});
    writeFile(dir + "/title.bmp", {});
  }
  const size_t trackSize = 10 * 1000 * 1000;
  const std::vector<uint8_t> track = pattern(trackSize, 7);
  writeFile(tree + "/track.mp3", track);
  FatImage img("bench.img", "-F 16 -s 8 -r 2048", 64 * 1024);
  sh("mcopy -s -i '" + img.file() + "' '" + tree + "'/* ::/");
  media[0] = Medium{};
  media[0].image = img.bytes();

  FATFS fs{};
  char path[4];
  FATFS_LinkDriver(&TestDriver, path);
  f_mount(&fs, path, 0);

  // Directory scan
  media[0].resetCounters();
  auto t0 = Clock::now();
  DIR root, dir;
  FILINFO fno;
  int folders = 0, entries = 0, pictures = 0;
  f_opendir(&root, "0:");
  while (f_readdir(&root, &fno) == FR_OK && fno.fname[0] != 0) {
    if (!(fno.fattrib & AM_DIR)) continue;
    ++folders;
    const std::string name = fno.fname;
    FILINFO info;
    if (f_findfirst(&dir, &info, name.c_str(), "*.bmp") == FR_OK) {
      if (info.fname[0] != 0) ++pictures;
      f_closedir(&dir);
    }
    if (f_opendir(&dir, name.c_str()) == FR_OK) {
      while (f_readdir(&dir, &info) == FR_OK && info.fname[0] != 0) ++entries;
      f_closedir(&dir);
    }
  }
  const double scanTime = seconds(t0);
  std::printf(
      "directory scan: %d folders, %d entries, %d pictures: %.2f ms, %llu reads, %llu sectors\n",
      folders, entries, pictures, scanTime * 1e3,
      static_cast<unsigned long long>(media[0].readCalls),
      static_cast<unsigned long long>(media[0].sectorsRead));

  // Track read in 512-byte chunks
  static FIL fil;
  std::vector<uint8_t> chunk(512);
  media[0].resetCounters();
  t0 = Clock::now();
  f_open(&fil, "track.mp3", FA_READ);
  size_t total = 0;
  UINT br = 0;
  do {
    f_read(&fil, chunk.data(), 512, &br);
    total += br;
    sink = chunk[0];
  } while (br == 512);
  f_close(&fil);
  const double readTime = seconds(t0);

  t0 = Clock::now();
  for (size_t ofs = 0; ofs < trackSize; ofs += 512) {
    std::memcpy(chunk.data(), track.data() + ofs, std::min<size_t>(512, trackSize - ofs));
    sink = chunk[0];
  }
  const double copyTime = seconds(t0);
  std::printf(
      "10 MB read in 512-byte chunks: %zu bytes, %.2f ms (memcpy %.2f ms, ratio %.1f), %llu reads, "
      "%llu sectors\n",
      total, readTime * 1e3, copyTime * 1e3, copyTime > 0 ? readTime / copyTime : 0.0,
      static_cast<unsigned long long>(media[0].readCalls),
      static_cast<unsigned long long>(media[0].sectorsRead));
  f_mount(nullptr, path, 0);
  return total == trackSize ? 0 : 1;
}
