// Test media for the file system: an in-memory disk driver that serves an image file and counts
// and can fail its transfers, images made with mkfs.fat and mtools as an outside reference, and
// a small exFAT writer that adds files and folders to a volume made by mkfs.exfat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ff.h"
#include "ff_gen_drv.h"

namespace fattest {

// The medium behind one logical unit of the test driver.
struct Medium {
  std::vector<uint8_t> image;
  WORD sectorSize = 512;
  bool present = true;       // false: the unit reports not initialised / not ready
  bool initFails = false;    // disk_initialize reports not initialised
  long failAfterReads = -1;  // reads that succeed before every further read fails (-1: never)
  // Statistics
  uint64_t readCalls = 0;
  uint64_t sectorsRead = 0;
  uint64_t initCalls = 0;
  uint64_t outOfRange = 0;  // requests that reached past the medium
  void resetCounters() { readCalls = sectorsRead = initCalls = outOfRange = 0; }
  DWORD sectorCount() const { return static_cast<DWORD>(image.size() / sectorSize); }
};

// Two units (LUN 0 and 1) of one driver.
extern Medium media[2];
extern const Diskio_drvTypeDef TestDriver;

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
// Deterministic pseudo-random bytes.
std::vector<uint8_t> pattern(size_t size, uint32_t seed);

// A scratch directory for one test program, removed at exit.
const std::string& scratch();
// Runs a shell command (mtools need no drive configuration); fails the test when it fails.
void sh(const std::string& command);

// Builds a FAT image with mkfs.fat and fills it with mtools.
class FatImage {
 public:
  // `mkfsOptions` e.g. "-F 12", "-F 32 -S 4096"; size in KiB.
  FatImage(const std::string& name, const std::string& mkfsOptions, unsigned sizeKiB);
  void mkdir(const std::string& path);
  void put(const std::string& path, const std::vector<uint8_t>& bytes);
  void attrib(const std::string& flags, const std::string& path);
  void remove(const std::string& path);
  std::vector<uint8_t> bytes() const;
  const std::string& file() const { return file_; }

 private:
  std::string file_;
};

// Adds files and folders to an empty exFAT volume made by mkfs.exfat.
class ExFatImage {
 public:
  explicit ExFatImage(unsigned sizeKiB);
  // Returns the first cluster of the new folder. parent 0 = the root.
  uint32_t mkdir(uint32_t parent, const std::u16string& name, bool hidden = false);
  // contiguous: NoFatChain set and no FAT entries; otherwise a chain over scattered clusters.
  void put(uint32_t parent, const std::u16string& name, const std::vector<uint8_t>& bytes,
           bool contiguous);
  std::vector<uint8_t>& bytes() { return img_; }
  uint32_t rootCluster() const { return root_; }
  // Byte offset in the image of the last entry set written (for corrupting it).
  size_t lastSetOffset() const { return lastSet_; }

 private:
  uint32_t allocate(uint32_t count, bool contiguous, std::vector<uint32_t>& out);
  void setFat(uint32_t cluster, uint32_t value);
  size_t clusterOffset(uint32_t cluster) const;
  void addEntrySet(uint32_t parent, const std::vector<uint8_t>& set);

  std::vector<uint8_t> img_;
  uint32_t ss_ = 512, spc_ = 1, fatOff_ = 0, heapOff_ = 0, nclst_ = 0, root_ = 0;
  uint32_t bitmapCluster_ = 0, next_ = 2;
  size_t lastSet_ = 0;
  std::vector<uint32_t> dirClusters_;  // sizes of folders made here, by first cluster
};

// Links the test driver at the next free drive for `lun` and mounts it lazily there.
struct Volume {
  explicit Volume(int lun);
  ~Volume();
  FATFS fs{};
  char path[4] = {};
  int lun;
};

// All names of a directory, in the order f_readdir gives them.
std::vector<std::string> list(const char* path);
// Reads a whole file with reads of `chunk` bytes.
FRESULT readAll(const char* path, std::vector<uint8_t>& out, UINT chunk);

}  // namespace fattest
