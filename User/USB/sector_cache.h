// A cache of the stick's sectors in the external SDRAM, between the file system and the
// mass-storage class. The file system reads directories and the FAT a sector at a time through
// one window, so a folder looked up by path rescans the root and a directory that spans
// clusters alternates between directory and FAT sectors; every such read is a bulk-only
// command of its own (2 ms each on a full-speed stick). The cache keeps the last 512 KiB of
// sectors read (least recently used go first) and reads ahead: a miss reads a few sectors more
// in the same command, and as long as misses follow each other through the stick the read grows
// to 32 KiB per command.
//
// A stick pulled out or swapped must never be served the old stick's sectors: the stick service
// calls invalidate() when a stick goes and before a new one is mounted; a read that was under
// way while that happened serves its caller but leaves nothing in the cache.
#pragma once

#include <atomic>
#include <cstdint>

class SectorCache {
 public:
  static constexpr uint32_t CACHE_BYTES = 512 * 1024;
  static constexpr uint32_t MIN_SECTOR = 512;
  static constexpr uint32_t MAX_LINES = CACHE_BYTES / MIN_SECTOR;
  // Bytes one miss reads: first, and at most when misses follow each other.
  static constexpr uint32_t READ_AHEAD_FIRST = 2048;
  static constexpr uint32_t READ_AHEAD_MAX = 32 * 1024;

  // Reads `count` sectors into `buff`; false when the device failed (the caller finds out why
  // from the device). One call of the device per missing run.
  using DeviceRead = bool (*)(uint8_t* buff, uint32_t sector, uint32_t count);

  // The device's geometry: sector size (512..4096, a power of two) and number of sectors.
  bool read(uint8_t* buff, uint32_t sector, uint32_t count, uint32_t sectorSize,
            uint32_t sectorCount, DeviceRead device);
  // Forgets every sector; callable from any thread.
  void invalidate() { generation.fetch_add(1, std::memory_order_acq_rel); }
  // Off: every read goes to the device, as without a cache.
  void setEnabled(bool on) { disabled.store(!on, std::memory_order_relaxed); }
  bool isEnabled() const { return !disabled.load(std::memory_order_relaxed); }

 private:
  static constexpr uint16_t NONE = 0xFFFF;
  static constexpr uint32_t HASH = 2 * MAX_LINES;
  static constexpr uint32_t NO_SECTOR = 0xFFFFFFFF;

  void reset(uint32_t sectorSize);
  uint16_t lookup(uint32_t sector) const;
  void touch(uint16_t line);
  void unlinkLru(uint16_t line);
  void store(uint32_t sector, const uint8_t* data);
  uint8_t* lineData(uint16_t line) { return data + static_cast<uint32_t>(line) * lineSize; }

  // Every member starts as zero: the object lies in the SDRAM, which the start-up code clears.
  std::atomic<uint32_t> generation{0};
  std::atomic<bool> disabled{false};
  bool primed = false;  // the lines below are set up
  uint32_t stamp = 0;   // generation the lines belong to
  uint32_t lineSize = 0;
  uint32_t lines = 0;
  uint32_t nextSequential = 0;  // the sector after the last miss read
  uint32_t lastRun = 0;         // sectors the last miss read (0: none yet)
  uint32_t tag[MAX_LINES] = {};
  uint16_t hashHead[HASH] = {};
  uint16_t hashNext[MAX_LINES] = {};
  // Doubly linked use order; index MAX_LINES is the head: next = most recent, prev = oldest.
  uint16_t lruNext[MAX_LINES + 1] = {};
  uint16_t lruPrev[MAX_LINES + 1] = {};
  uint8_t scratch[READ_AHEAD_MAX] = {};
  uint8_t data[CACHE_BYTES] = {};
};
