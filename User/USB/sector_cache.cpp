#include "sector_cache.h"

#include <cstring>

namespace {

uint32_t hashOf(uint32_t sector, uint32_t buckets) {
  return static_cast<uint32_t>((sector * 2654435761U) >> 16) % buckets;
}

}  // namespace

void SectorCache::reset(uint32_t sectorSize) {
  lineSize = sectorSize;
  lines = CACHE_BYTES / sectorSize;
  for (uint32_t b = 0; b < HASH; ++b) hashHead[b] = NONE;
  // Every line empty, in one order of use: line 0 the oldest (taken first), the last line the
  // most recent. From a line, next leads to the older one and prev to the newer one.
  for (uint32_t i = 0; i < lines; ++i) {
    tag[i] = NO_SECTOR;
    hashNext[i] = NONE;
    lruNext[i] = static_cast<uint16_t>(i == 0 ? MAX_LINES : i - 1);
    lruPrev[i] = static_cast<uint16_t>(i + 1 < lines ? i + 1 : MAX_LINES);
  }
  lruNext[MAX_LINES] = static_cast<uint16_t>(lines - 1);
  lruPrev[MAX_LINES] = 0;
  nextSequential = 0;
  lastRun = 0;
  primed = true;
}

uint16_t SectorCache::lookup(uint32_t sector) const {
  for (uint16_t l = hashHead[hashOf(sector, HASH)]; l != NONE; l = hashNext[l]) {
    if (tag[l] == sector) return l;
  }
  return NONE;
}

void SectorCache::unlinkLru(uint16_t line) {
  lruNext[lruPrev[line]] = lruNext[line];
  lruPrev[lruNext[line]] = lruPrev[line];
}

// Makes `line` the most recently used: right after the head.
void SectorCache::touch(uint16_t line) {
  unlinkLru(line);
  const uint16_t first = lruNext[MAX_LINES];
  lruNext[line] = first;
  lruPrev[line] = MAX_LINES;
  lruPrev[first] = line;
  lruNext[MAX_LINES] = line;
}

void SectorCache::store(uint32_t sector, const uint8_t* bytes) {
  uint16_t line = lookup(sector);
  if (line == NONE) {
    // The least recently used line: the one before the head.
    line = lruPrev[MAX_LINES];
    if (tag[line] != NO_SECTOR) {
      uint16_t* link = &hashHead[hashOf(tag[line], HASH)];
      while (*link != line) link = &hashNext[*link];
      *link = hashNext[line];
    }
    tag[line] = sector;
    const uint32_t b = hashOf(sector, HASH);
    hashNext[line] = hashHead[b];
    hashHead[b] = line;
  }
  std::memcpy(lineData(line), bytes, lineSize);
  touch(line);
}

bool SectorCache::read(uint8_t* buff, uint32_t sector, uint32_t count, uint32_t sectorSize,
                       uint32_t sectorCount, DeviceRead device) {
  if (disabled.load(std::memory_order_relaxed) || sectorSize < MIN_SECTOR ||
      sectorSize > READ_AHEAD_MAX || (sectorSize & (sectorSize - 1)) != 0) {
    return device(buff, sector, count);
  }
  if (!primed || lineSize != sectorSize) {
    reset(sectorSize);
    stamp = generation.load(std::memory_order_acquire);
  }
  const uint32_t firstRun = READ_AHEAD_FIRST / sectorSize > 0 ? READ_AHEAD_FIRST / sectorSize : 1;
  const uint32_t maxRun = READ_AHEAD_MAX / sectorSize;
  uint32_t i = 0;
  while (i < count) {
    // Checked before every lookup: once a stick has gone, nothing of it is served again.
    const uint32_t gen = generation.load(std::memory_order_acquire);
    if (gen != stamp) {
      reset(sectorSize);
      stamp = gen;
    }
    const uint16_t hit = lookup(sector + i);
    if (hit != NONE) {
      std::memcpy(buff + i * sectorSize, lineData(hit), sectorSize);
      touch(hit);
      ++i;
      continue;
    }
    // The run of missing sectors in the request, read with one command.
    const uint32_t first = sector + i;
    uint32_t n = 1;
    while (i + n < count && lookup(first + n) == NONE) ++n;
    // Reading ahead beyond the request: only when the run reaches its end, up to a sector
    // that is cached already or the end of the medium.
    uint32_t total = n;
    if (i + n == count) {
      const bool follows = lastRun != 0 && first == nextSequential;
      uint32_t want = follows ? 2 * lastRun : firstRun;
      if (want > maxRun) want = maxRun;
      while (total < want && static_cast<uint64_t>(first) + total < sectorCount &&
             lookup(first + total) == NONE) {
        ++total;
      }
    }
    uint8_t* dest = buff + i * sectorSize;
    if (total > n && device(scratch, first, total)) {
      std::memcpy(dest, scratch, n * sectorSize);
    } else {
      // Without reading ahead: a sector the caller did not ask for must not fail its read.
      total = n;
      if (!device(dest, first, n)) return false;
    }
    // A stick that went meanwhile: the bytes serve this caller, the cache keeps none of them.
    if (generation.load(std::memory_order_acquire) == stamp) {
      const uint8_t* from = total > n ? scratch : dest;
      for (uint32_t k = 0; k < total; ++k) store(first + k, from + k * sectorSize);
    }
    nextSequential = first + total;
    lastRun = total;
    i += n;
  }
  return true;
}
