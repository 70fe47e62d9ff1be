// The FAT volume of a stick image: its layout (chosen by size as mkfs.fat chooses it) and the
// writing of the image file.
//
// Layout choices:
// - FAT type by volume size: below 512 MiB FAT12 while the volume has fewer than 4085
//   clusters, else FAT16; from 512 MiB FAT32. The cluster count alone decides the type for
//   every reader, so a forced type whose count cannot be reached is refused.
// - Cluster size: FAT12/16 2 KiB up to 128 MiB, 4 KiB to 256 MiB, 8 KiB to 512 MiB, 16 KiB
//   to 1 GiB, 32 KiB above; FAT32 512 bytes up to 260 MiB, 4 KiB to 8 GiB, 8 KiB to 16 GiB,
//   16 KiB to 32 GiB, 32 KiB above (never below one sector). Halved or doubled (32 KiB at
//   most) when a forced type needs a different cluster count.
// - Reserved sectors: 1 (FAT12/16) or 32 (FAT32), raised so that the data area starts on a
//   cluster boundary; two FATs; 512 root entries on FAT12/16; media 0xF8; 63 sectors a
//   track, 255 heads; FAT32 root in cluster 2, FSInfo in sector 1, boot copy in sector 6.
// - With an MBR the one partition starts 1 MiB into the image (sector 2048 of 512 bytes).
// - Everything is laid out in the order of the tree: each folder and file gets contiguous
//   clusters, in the order they were listed. Every time stamp is 2024-01-01 12:00:00 and
//   the volume serial number is a hash of the written content, so the same input gives the
//   same image byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "names.h"
#include "tree.h"

namespace mkstick {

constexpr std::uint64_t MBR_OFFSET = 1 << 20;

struct Geometry {
  int fatType = 0;
  std::uint32_t bytesPerSector = 512;
  std::uint32_t sectorsPerCluster = 1;
  std::uint32_t reservedSectors = 1;
  std::uint32_t rootEntries = 0;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t totalSectors = 0;
  std::uint32_t clusterCount = 0;

  std::uint32_t clusterBytes() const { return bytesPerSector * sectorsPerCluster; }
  std::uint32_t rootDirSectors() const { return rootEntries * 32 / bytesPerSector; }
  std::uint32_t firstDataSector() const {
    return reservedSectors + 2 * sectorsPerFat + rootDirSectors();
  }
};

// Lays out a volume of `totalSectors` sectors; `fatType` 0 chooses by size. Returns "" or
// why no such volume can exist.
std::string planGeometry(std::uint64_t totalSectors, std::uint32_t sectorSize, int fatType,
                         Geometry* out);

struct ImageOptions {
  std::uint64_t imageBytes = 0;  // 0: the smallest stick size (1, 2, 4, 8 ... MiB) that fits
  std::uint32_t sectorSize = 512;
  int fatType = 0;  // 0: by size
  bool mbr = false;
  bool hasLabel = false;
  std::array<std::uint8_t, 11> label{};
  // Called while the image is written: the files' bytes written so far and in all (a window
  // shows a progress bar with it).
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// Where everything goes.
struct Plan {
  Geometry geometry;
  std::uint64_t imageBytes = 0;
  std::uint64_t volumeOffset = 0;
  std::vector<std::vector<ShortName>> shortNames;  // per folder node: its children's
  std::vector<std::uint64_t> dirBytes;             // per folder node: entry bytes
  std::vector<std::uint32_t> firstCluster;         // per node (0: none)
  std::vector<std::uint32_t> clusters;             // per node
  std::uint32_t nextFree = 2;                      // first cluster not used
};

// Checks the tree against FAT's limits and chooses the volume. Source files must have
// their sizes noted. Returns "" or what does not fit.
std::string planImage(const Tree& tree, const ImageOptions& options, Plan* plan);

struct Summary {
  Plan plan;
  std::uint32_t serial = 0;
};

// Writes the image to `outPath`: into a temporary file beside it, renamed at the end and
// removed on any failure (or when the program is interrupted). Returns "" or the reason.
std::string buildImage(const Tree& tree, const ImageOptions& options, const std::string& outPath,
                       Summary* summary);

// Writes a small file the same way (temporary file, then rename).
std::string writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace mkstick
