// The disk adapter's sector cache on its own, over a device that records its reads: what it
// serves, which reads it asks for, and that a stick gone is never served again.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sector_cache.h"

namespace {

// A device of 4096 sectors whose bytes tell their sector (and the stick they belong to).
struct Device {
  uint32_t sectorSize = 512;
  uint8_t stick = 1;
  std::vector<std::string> reads;  // "sector+count"
  bool fail = false;
  uint32_t badSector = 0xFFFFFFFF;  // a read that includes it fails
  SectorCache* invalidateDuringRead = nullptr;
};
Device dev;

void fillSector(uint8_t* p, uint32_t sector, uint8_t stick) {
  std::memset(p, static_cast<int>(sector & 0xFF), dev.sectorSize);
  p[0] = stick;
}

bool deviceRead(uint8_t* buff, uint32_t sector, uint32_t count) {
  dev.reads.push_back(std::to_string(sector) + "+" + std::to_string(count));
  if (dev.fail || (sector <= dev.badSector && dev.badSector < sector + count)) return false;
  for (uint32_t i = 0; i < count; ++i) fillSector(buff + i * dev.sectorSize, sector + i, dev.stick);
  if (dev.invalidateDuringRead != nullptr) {
    // The stick is swapped while the transfer runs: this one still served the old one.
    dev.invalidateDuringRead->invalidate();
    dev.invalidateDuringRead = nullptr;
    ++dev.stick;
  }
  return true;
}

class Cache : public ::testing::Test {
 protected:
  void SetUp() override { dev = Device{}; }
  // Reads and checks the bytes; returns the device reads it took.
  std::string read(uint32_t sector, uint32_t count, uint8_t stick = 1) {
    dev.reads.clear();
    std::vector<uint8_t> buf(count * dev.sectorSize);
    EXPECT_TRUE(cache->read(buf.data(), sector, count, dev.sectorSize, 4096, deviceRead));
    for (uint32_t i = 0; i < count; ++i) {
      std::vector<uint8_t> want(dev.sectorSize);
      fillSector(want.data(), sector + i, stick);
      EXPECT_EQ(std::memcmp(buf.data() + i * dev.sectorSize, want.data(), dev.sectorSize), 0)
          << "sector " << sector + i;
    }
    std::string r;
    for (const auto& s : dev.reads) r += (r.empty() ? "" : " ") + s;
    return r;
  }
  std::unique_ptr<SectorCache> cache = std::make_unique<SectorCache>();
};

TEST_F(Cache, AMissReadsAheadAndFollowingMissesReadMore) {
  // 2 KiB first, then double while the misses follow each other, up to 32 KiB.
  EXPECT_EQ(read(100, 1), "100+4");
  EXPECT_EQ(read(101, 3), "");
  EXPECT_EQ(read(104, 1), "104+8");
  EXPECT_EQ(read(112, 1), "112+16");
  EXPECT_EQ(read(128, 1), "128+32");
  EXPECT_EQ(read(160, 1), "160+64");
  EXPECT_EQ(read(224, 1), "224+64");
  // Elsewhere: back to 2 KiB.
  EXPECT_EQ(read(2000, 1), "2000+4");
}

TEST_F(Cache, CachedSectorsSplitARequestAndStopTheReadingAhead) {
  EXPECT_EQ(read(10, 1), "10+4");  // 10..13
  // 8..9 missing, 10..13 cached, 14..15 missing: two commands, the second reads ahead
  // (it does not follow the last miss) up to 2 KiB.
  EXPECT_EQ(read(8, 8), "8+2 14+4");
  EXPECT_EQ(read(5, 2), "5+3");  // ahead up to sector 8, which is cached
}

TEST_F(Cache, ReadingAheadEndsAtTheEndOfTheMediumAndNeverFailsARead) {
  EXPECT_EQ(read(4094, 1), "4094+2");
  dev.badSector = 602;  // in what a read of 600 would read ahead
  EXPECT_EQ(read(600, 1), "600+4 600+1");
}

TEST_F(Cache, TheOldestSectorsGoFirst) {
  // 512 KiB hold 1024 sectors of 512 bytes: 0..3, then 255 reads of four apart from each
  // other fill them.
  EXPECT_EQ(read(0, 4), "0+4");
  for (uint32_t k = 0; k < 255; ++k) EXPECT_EQ(read(1000 + 5 * k, 1).size(), 6u);
  EXPECT_EQ(read(0, 4), "");  // used again: now the most recent
  read(3000, 1);              // takes the four oldest lines, 1000..1003
  EXPECT_EQ(read(0, 4), "");
  EXPECT_EQ(read(1005, 1), "");
  EXPECT_EQ(read(1000, 1), "1000+4");
}

TEST_F(Cache, AStickThatWentIsNeverServedAgain) {
  EXPECT_EQ(read(50, 1), "50+4");
  cache->invalidate();
  dev.stick = 2;
  EXPECT_EQ(read(50, 1, 2), "50+4");
  // Swapped while a read runs: that read serves its caller, the cache keeps none of it.
  dev.invalidateDuringRead = cache.get();
  EXPECT_EQ(read(300, 1, 2), "300+4");
  EXPECT_EQ(read(301, 1, 3), "301+4");
}

TEST_F(Cache, FailedReadsAndLargeSectorsAndSwitchedOff) {
  dev.fail = true;
  std::vector<uint8_t> buf(512);
  EXPECT_FALSE(cache->read(buf.data(), 7, 1, 512, 4096, deviceRead));
  dev.fail = false;
  EXPECT_EQ(read(7, 1), "7+4");  // nothing of the failed read was kept
  dev.sectorSize = 4096;         // another stick's geometry: the cache starts afresh
  EXPECT_EQ(read(7, 1), "7+1");
  EXPECT_EQ(read(8, 1), "8+2");
  cache->setEnabled(false);
  EXPECT_EQ(read(7, 1), "7+1");
  EXPECT_EQ(read(7, 1), "7+1");
}

}  // namespace
