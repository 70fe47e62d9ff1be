// The file system against volumes made by mkfs.fat and filled by mtools (an outside reference):
// the same tree on FAT12, FAT16, FAT32, 4096-byte sectors and a partitioned stick, read
// through the API the firmware uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "board_child.h"
#include "fat_test_util.h"
#include "ff.h"
#include "ff_gen_drv.h"
#include "semphr.h"
#include "task.h"

extern "C" void vAssertCalled(const char*, int) { simk::halt("configAssert"); }
extern "C" void configureTimerForRunTimeStats(void) {}
extern "C" unsigned long getRunTimeCounterValue(void) { return 0; }

using namespace fattest;

namespace {

struct Variant {
  const char* name;
  const char* mkfs;
  unsigned sizeKiB;
  WORD sectorSize;
  bool partitioned;
};

const Variant kVariants[] = {
    {"Fat12", "-F 12 -s 1", 1440, 512, false},
    {"Fat16", "-F 16 -s 2", 8192, 512, false},
    {"Fat32", "-F 32 -s 1", 36000, 512, false},
    {"Fat16Sectors4096", "-F 16 -S 4096 -s 1", 20480, 4096, false},
    {"Fat12Sectors4096", "-F 12 -S 4096 -s 1", 4096, 4096, false},
    {"Fat16Partitioned", "-F 16 -s 2", 8192, 512, true},
};

// The files every variant holds, by path.
std::map<std::string, std::vector<uint8_t>> contents() {
  return {
      {"song.mp3", pattern(66000, 1)},  {"big.bin", pattern(200 * 1024 + 77, 2)},
      {"frag.bin", pattern(20000, 3)},  {"Zoo/b.BMP", pattern(1000, 4)},
      {"Zoo/a.bmp", pattern(10, 5)},    {"Zoo/sub/deep.txt", pattern(5, 6)},
      {"Mädchen.mp3", pattern(700, 7)},
  };
}

// Builds the tree, in a stored order that differs from the alphabetical one.
std::vector<uint8_t> buildImage(const Variant& v) {
  FatImage img(std::string(v.name) + ".img", v.mkfs, v.sizeKiB);
  auto files = contents();
  img.mkdir("Zoo");
  img.mkdir("animals");
  img.put("fillA.bin", pattern(3000, 9));
  img.mkdir("Bach");
  img.put("fillB.bin", pattern(100, 10));
  img.mkdir("Secret");
  img.attrib("+h", "Secret");
  img.put("song.mp3", files["song.mp3"]);
  img.put("big.bin", files["big.bin"]);
  img.remove("fillA.bin");  // its clusters are reused: frag.bin is split in two
  img.put("frag.bin", files["frag.bin"]);
  img.put("Zoo/b.BMP", files["Zoo/b.BMP"]);
  img.put("Zoo/notes.txt", pattern(3, 11));
  img.put("Zoo/a.bmp", files["Zoo/a.bmp"]);
  img.mkdir("Zoo/sub");
  img.put("Zoo/sub/deep.txt", files["Zoo/sub/deep.txt"]);
  img.put("Mädchen.mp3", files["Mädchen.mp3"]);
  img.put("Ölfässer.txt", pattern(1, 12));
  img.put("中文.mp3", pattern(1, 13));  // outside the code page: short names
  img.put("Preis€.txt", pattern(1, 14));
  img.put("lower.txt", pattern(1, 15));
  img.put("gone.txt", pattern(1, 16));
  img.remove("gone.txt");  // stays behind as a deleted entry
  std::vector<uint8_t> bytes = img.bytes();
  if (v.partitioned) {
    // An MBR with the volume as its second entry (the first is empty) at sector 2048.
    const size_t lead = 2048 * 512;
    std::vector<uint8_t> disk(lead, 0);
    uint8_t* pt = &disk[446 + 16];
    pt[4] = 0x06;
    const uint32_t start = 2048, count = static_cast<uint32_t>(bytes.size() / 512);
    std::memcpy(pt + 8, &start, 4);
    std::memcpy(pt + 12, &count, 4);
    disk[510] = 0x55;
    disk[511] = 0xAA;
    disk.insert(disk.end(), bytes.begin(), bytes.end());
    bytes.swap(disk);
  }
  return bytes;
}

class FatVolume : public ::testing::TestWithParam<Variant> {
 protected:
  static std::map<std::string, std::vector<uint8_t>>& images() {
    static std::map<std::string, std::vector<uint8_t>> m;
    return m;
  }
  void SetUp() override {
    auto& cache = images();
    if (!cache.count(GetParam().name)) cache[GetParam().name] = buildImage(GetParam());
    media[0] = Medium{};
    media[0].image = cache[GetParam().name];
    media[0].sectorSize = GetParam().sectorSize;
    vol = std::make_unique<Volume>(0);
  }
  void TearDown() override { vol.reset(); }
  std::unique_ptr<Volume> vol;
};

// Names in code page 850 ('ä' 0x84, 'Ö' 0x99), as the firmware's console prints them.
const std::string kMaedchen = std::string("M\x84") + "dchen.mp3";

// The root lists its entries in stored order, without "." and ".." and without deleted ones
// (mtools put frag.bin and lower.txt into the places fillA.bin left); long names in the code
// page's bytes, the short name for a name with characters outside it; a short name with the NT
// lower-case flags comes out lower-cased.
TEST_P(FatVolume, EntriesInStoredOrderWithCodePage850NamesAndShortNameFallback) {
  EXPECT_EQ(list("0:"),
            (std::vector<std::string>{"Zoo", "animals", "frag.bin", "lower.txt", "Bach",
                                      "fillB.bin", "Secret", "song.mp3", "big.bin", kMaedchen,
                                      "\x99lf\x84sser.txt", "__.MP3", "PREISE.TXT"}));
  EXPECT_EQ(list("0:/Zoo"), (std::vector<std::string>{"b.BMP", "notes.txt", "a.bmp", "sub"}));
  DIR dir;
  FILINFO fno;
  ASSERT_EQ(f_opendir(&dir, "/"), FR_OK);
  std::map<std::string, FILINFO> byName;
  while (f_readdir(&dir, &fno) == FR_OK && fno.fname[0] != 0) byName[fno.fname] = fno;
  ASSERT_EQ(f_closedir(&dir), FR_OK);
  EXPECT_EQ(byName[kMaedchen].fsize, 700u);
  EXPECT_STREQ(byName[kMaedchen].altname,
               "M\x8E"
               "DCHEN.MP3");
  EXPECT_STREQ(byName["lower.txt"].altname, "LOWER.TXT");
  EXPECT_EQ(byName["Secret"].fattrib & (AM_DIR | AM_HID), AM_DIR | AM_HID);
  EXPECT_EQ(byName["Zoo"].fattrib & (AM_DIR | AM_HID), AM_DIR);
  EXPECT_EQ(byName["song.mp3"].fattrib & AM_DIR, 0);
  EXPECT_EQ(byName["song.mp3"].fsize, 66000u);
  EXPECT_NE(byName["song.mp3"].fdate, 0);
}

TEST_P(FatVolume, FilesReadByteExactInEveryPattern) {
  for (const auto& [path, data] : contents()) {
    const std::string p = "0:/" + (path == "Mädchen.mp3" ? kMaedchen : path);
    for (UINT chunk : {512u, 100u, 4096u, 300000u}) {
      std::vector<uint8_t> got;
      ASSERT_EQ(readAll(p.c_str(), got, chunk), FR_OK) << p;
      ASSERT_EQ(got, data) << p << " in chunks of " << chunk;
    }
  }
  // Seek, then read across sector and cluster boundaries, forwards and backwards.
  const auto big = contents()["big.bin"];
  FIL f;
  ASSERT_EQ(f_open(&f, "big.bin", FA_READ), FR_OK);
  EXPECT_EQ(f_size(&f), big.size());
  const FSIZE_t offsets[] = {0, 1, 511, 512, 513, 4095, 4097, 8191, 100000, 2047, 204800, 7};
  for (FSIZE_t ofs : offsets) {
    for (UINT len : {1u, 700u, 5000u}) {
      ASSERT_EQ(f_lseek(&f, ofs), FR_OK);
      EXPECT_EQ(f.fptr, ofs);
      std::vector<uint8_t> buf(len);
      UINT br = 0;
      ASSERT_EQ(f_read(&f, buf.data(), len, &br), FR_OK);
      const UINT want = static_cast<UINT>(std::min<FSIZE_t>(len, big.size() - ofs));
      ASSERT_EQ(br, want);
      ASSERT_EQ(0, std::memcmp(buf.data(), big.data() + ofs, br)) << ofs << "+" << len;
    }
  }
  // Beyond the end: the pointer stops at the size, reads deliver nothing.
  ASSERT_EQ(f_lseek(&f, big.size() + 1000), FR_OK);
  EXPECT_EQ(f.fptr, big.size());
  uint8_t b[16];
  UINT br = 99;
  EXPECT_EQ(f_read(&f, b, sizeof b, &br), FR_OK);
  EXPECT_EQ(br, 0u);
  EXPECT_EQ(f_close(&f), FR_OK);
  EXPECT_EQ(f_read(&f, b, sizeof b, &br), FR_INVALID_OBJECT);
}

TEST_P(FatVolume, PathsResolveAgainstTheCurrentDirectory) {
  FILINFO fno;
  const std::pair<const char*, FRESULT> stats[] = {
      {"0:\\Zoo\\sub\\deep.txt", FR_OK}, {"0:Zoo/sub/", FR_OK},
      {"Zoo/none/deep.txt", FR_NO_PATH}, {"Zoo/none.txt", FR_NO_FILE},
      {"song.mp3/x", FR_NO_PATH},        {"Zoo/a*.bmp", FR_INVALID_NAME},
      {"5:/x", FR_INVALID_DRIVE},        {"1:/x", FR_NOT_ENABLED}};
  for (const auto& [path, res] : stats) EXPECT_EQ(f_stat(path, &fno), res) << path;
  EXPECT_EQ(f_stat("\\zoo/SUB//DEEP.TXT", &fno), FR_OK);  // any case, either separator
  EXPECT_EQ(fno.fsize, 5u);

  ASSERT_EQ(f_chdir("Zoo"), FR_OK);
  EXPECT_EQ(list(""), (std::vector<std::string>{"b.BMP", "notes.txt", "a.bmp", "sub"}));
  EXPECT_EQ(list("0:"), list(""));
  ASSERT_EQ(f_chdir("sub"), FR_OK);
  EXPECT_EQ(list("0:"), (std::vector<std::string>{"deep.txt"}));
  EXPECT_EQ(f_stat("..\\a.bmp", &fno), FR_OK);
  EXPECT_EQ(f_stat("../../song.mp3", &fno), FR_OK);
  EXPECT_EQ(f_stat("./deep.txt", &fno), FR_OK);
  char cwd[64];
  ASSERT_EQ(f_getcwd(cwd, sizeof cwd), FR_OK);
  EXPECT_STREQ(cwd, "0:/Zoo/sub");
  ASSERT_EQ(f_chdir(".."), FR_OK);
  EXPECT_EQ(list("").size(), 4u);
  ASSERT_EQ(f_chdir("../.."), FR_OK);  // ".." in the root stays there
  EXPECT_EQ(list("").front(), "Zoo");
  ASSERT_EQ(f_chdir("/Zoo"), FR_OK);
  EXPECT_EQ(f_stat("/song.mp3", &fno), FR_OK);
  EXPECT_EQ(f_chdir("a.bmp"), FR_NO_PATH);
  EXPECT_EQ(f_chdir("nothing"), FR_NO_PATH);
  ASSERT_EQ(f_getcwd(cwd, sizeof cwd), FR_OK);
  EXPECT_STREQ(cwd, "0:/Zoo");
  FIL f;
  EXPECT_EQ(f_open(&f, "", FA_READ), FR_INVALID_NAME);  // the folder itself
  EXPECT_EQ(f_open(&f, "sub", FA_READ), FR_NO_FILE);    // a folder is no file
  ASSERT_EQ(f_chdir("/"), FR_OK);
  ASSERT_EQ(f_getcwd(cwd, sizeof cwd), FR_OK);
  EXPECT_STREQ(cwd, "0:/");
}

// f_findfirst matches long names case-insensitively, in stored order; f_readdir without an
// object to fill rewinds.
TEST_P(FatVolume, FindFirstMatchesLongNamesAndReaddirRewinds) {
  DIR dir;
  FILINFO fno;
  const struct {
    const char *folder, *pattern;
    std::vector<std::string> found;
  } finds[] = {{"Zoo", "*.bmp", {"b.BMP", "a.bmp"}},
               {"", "m?DCHEN.*", {kMaedchen}},  // code page letters too
               {"Bach", "*.bmp", {}}};
  for (const auto& f : finds) {
    std::vector<std::string> found;
    FRESULT res = f_findfirst(&dir, &fno, f.folder, f.pattern);
    for (; res == FR_OK && fno.fname[0] != 0; res = f_findnext(&dir, &fno)) {
      found.push_back(fno.fname);
    }
    EXPECT_EQ(res, FR_OK) << f.pattern;
    EXPECT_EQ(found, f.found) << f.pattern;
    ASSERT_EQ(f_closedir(&dir), FR_OK);
  }
  EXPECT_NE(f_findfirst(&dir, &fno, "NoSuchFolder", "*.bmp"), FR_OK);

  ASSERT_EQ(f_opendir(&dir, "Zoo"), FR_OK);
  ASSERT_EQ(f_readdir(&dir, &fno), FR_OK);
  ASSERT_EQ(f_readdir(&dir, &fno), FR_OK);
  EXPECT_STREQ(fno.fname, "notes.txt");
  ASSERT_EQ(f_readdir(&dir, nullptr), FR_OK);
  ASSERT_EQ(f_readdir(&dir, &fno), FR_OK);
  EXPECT_STREQ(fno.fname, "b.BMP");
  ASSERT_EQ(f_closedir(&dir), FR_OK);
  EXPECT_EQ(f_readdir(&dir, &fno), FR_INVALID_OBJECT);
}

INSTANTIATE_TEST_SUITE_P(Formats, FatVolume, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The file system's dealings with its medium: driver linking, lazy and repeated mounting,
// failing and corrupt media, the open-object limit, the volume lock, and exFAT volumes.

// A FAT16 volume with 512-byte clusters, shared by the cases below.
const std::vector<uint8_t>& smallImage() {
  static const std::vector<uint8_t> image = [] {
    FatImage img("small.img", "-F 16 -s 1", 4096);
    img.put("song.mp3", pattern(66000, 21));
    img.mkdir("loop");
    for (int i = 0; i < 40; ++i) img.put("loop/f" + std::to_string(i) + ".txt", pattern(1, i));
    for (int i = 0; i < 12; ++i) img.put("n" + std::to_string(i) + ".mp3", pattern(600, 30 + i));
    img.put("A long name.mp3", pattern(2, 50));
    img.put("Second long name.mp3", pattern(2, 51));
    return img.bytes();
  }();
  return image;
}

class Media : public ::testing::Test {
 protected:
  void SetUp() override { insert(smallImage()); }
  void insert(const std::vector<uint8_t>& image, WORD ss = 512) {
    media[0] = Medium{};
    media[0].image = image;
    media[0].sectorSize = ss;
  }
  void mount() { vol = std::make_unique<Volume>(0); }
  void TearDown() override { vol.reset(); }
  // Offset of a short-name entry ("NAME    EXT") in the image.
  size_t entryOffset(const char* sfn) {
    auto& img = media[0].image;
    for (size_t i = 0; i + 11 <= img.size(); i += 32) {
      if (std::memcmp(&img[i], sfn, 11) == 0) return i;
    }
    ADD_FAILURE() << "no entry " << sfn;
    return 0;
  }
  void setFat16(DWORD cluster, WORD value) {
    auto& img = media[0].image;
    const size_t fat = size_t(img[14] | img[15] << 8) * 512;
    img[fat + cluster * 2] = static_cast<uint8_t>(value);
    img[fat + cluster * 2 + 1] = static_cast<uint8_t>(value >> 8);
  }
  WORD fat16(DWORD cluster) {
    auto& img = media[0].image;
    const size_t fat = size_t(img[14] | img[15] << 8) * 512;
    return static_cast<WORD>(img[fat + cluster * 2] | img[fat + cluster * 2 + 1] << 8);
  }
  std::unique_ptr<Volume> vol;
};

TEST_F(Media, LinkingHandsOutFreeDrivesInTurn) {
  char p0[4], p1[4], p2[4] = "x";
  ASSERT_EQ(FATFS_LinkDriver(&TestDriver, p0), 0);
  ASSERT_EQ(FATFS_LinkDriver(&TestDriver, p1), 0);
  EXPECT_STREQ(p0, "0:/");
  EXPECT_STREQ(p1, "1:/");
  EXPECT_EQ(FATFS_LinkDriver(&TestDriver, p2), 1);
  EXPECT_EQ(FATFS_GetAttachedDriversNbr(), 2);
  EXPECT_EQ(FATFS_UnLinkDriver(p0), 0);
  EXPECT_EQ(FATFS_UnLinkDriver(p0), 1);
  ASSERT_EQ(FATFS_LinkDriver(&TestDriver, p2), 0);
  EXPECT_STREQ(p2, "0:/");
  FATFS_UnLinkDriver(p1);
  FATFS_UnLinkDriver(p2);
  EXPECT_EQ(FATFS_GetAttachedDriversNbr(), 0);
}

TEST_F(Media, MountIsLazyAndTheFirstAccessReadsTheVolume) {
  mount();
  EXPECT_EQ(media[0].readCalls, 0u);
  EXPECT_EQ(media[0].initCalls, 0u);
  EXPECT_EQ(list("0:").front(), "song.mp3");
  EXPECT_EQ(media[0].initCalls, 1u);
  EXPECT_GT(media[0].readCalls, 0u);
  list("0:");
  EXPECT_EQ(media[0].initCalls, 1u);  // mounted once
}

// A medium that is not there, cannot be read, or holds no volume of its sector size shows at
// the first access; so does a drive without a driver.
TEST_F(Media, UnreadableMediaShowAtTheFirstAccess) {
  const struct {
    std::vector<uint8_t> image;
    WORD sectorSize;
    bool present;
    long failAfterReads;
    FRESULT res;
  } cases[] = {{std::vector<uint8_t>(1024 * 1024, 0), 512, true, -1, FR_NO_FILESYSTEM},
               {smallImage(), 512, false, -1, FR_NOT_READY},
               {smallImage(), 512, true, 0, FR_DISK_ERR},
               {smallImage(), 4096, true, -1, FR_NO_FILESYSTEM}};  // the volume has 512
  DIR dir;
  for (const auto& c : cases) {
    insert(c.image, c.sectorSize);
    media[0].present = c.present;
    media[0].failAfterReads = c.failAfterReads;
    mount();
    EXPECT_EQ(f_opendir(&dir, "0:"), c.res);
    vol.reset();
  }
  EXPECT_EQ(f_opendir(&dir, "0:"), FR_NOT_ENABLED);
}

TEST_F(Media, AChangedMediumIsMountedAgainAndOldObjectsBecomeInvalidAsAtUnmounting) {
  mount();
  FIL f;
  ASSERT_EQ(f_open(&f, "song.mp3", FA_READ), FR_OK);
  ASSERT_EQ(f_chdir("loop"), FR_OK);
  uint8_t buf[512];
  UINT br = 0;
  ASSERT_EQ(f_read(&f, buf, sizeof buf, &br), FR_OK);

  media[0].present = false;  // pulled
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_INVALID_OBJECT);
  DIR dir;
  EXPECT_EQ(f_opendir(&dir, "0:"), FR_NOT_READY);

  FatImage other("other.img", "-F 12", 1024);
  other.put("other.txt", pattern(3, 1));
  media[0].image = other.bytes();
  media[0].present = true;                                         // another stick
  EXPECT_EQ(list("0:"), (std::vector<std::string>{"other.txt"}));  // back at the root
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_INVALID_OBJECT);
  EXPECT_EQ(f_close(&f), FR_INVALID_OBJECT);
  // Unmounting invalidates open objects too.
  ASSERT_EQ(f_open(&f, "other.txt", FA_READ), FR_OK);
  EXPECT_EQ(f_mount(nullptr, vol->path, 0), FR_OK);
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_INVALID_OBJECT);
  EXPECT_EQ(f_opendir(&dir, "0:"), FR_NOT_ENABLED);
}

TEST_F(Media, AReadErrorInTheMiddleOfAFileStopsIt) {
  mount();
  FIL f;
  ASSERT_EQ(f_open(&f, "song.mp3", FA_READ), FR_OK);
  media[0].failAfterReads = 5;
  uint8_t buf[512];
  UINT br = 0;
  FRESULT res = FR_OK;
  int chunks = 0;
  while ((res = f_read(&f, buf, sizeof buf, &br)) == FR_OK && br == sizeof buf) ++chunks;
  EXPECT_EQ(res, FR_DISK_ERR);
  EXPECT_GT(chunks, 0);
  media[0].failAfterReads = -1;
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_DISK_ERR);  // the file stays unusable
  EXPECT_EQ(br, 0u);
  EXPECT_EQ(f_close(&f), FR_OK);
  std::vector<uint8_t> got;
  EXPECT_EQ(readAll("song.mp3", got, 512), FR_OK);
  EXPECT_EQ(got, pattern(66000, 21));
}

TEST_F(Media, LongNamesThatDoNotBelongToTheirEntryFallBackToTheShortName) {
  auto& img = media[0].image;
  const size_t first = entryOffset("ALONGN~1MP3");
  ASSERT_EQ(img[first - 32 + 11], 0x0F);
  img[first - 32 + 13] ^= 0x01;  // its checksum no longer matches the short entry
  const size_t second = entryOffset("SECOND~1MP3");
  ASSERT_EQ(img[second - 64 + 11], 0x0F);
  img[second - 64] = 0x05;  // a sequence number out of order: an orphaned part
  mount();
  const auto names = list("0:");
  EXPECT_NE(std::find(names.begin(), names.end(), "ALONGN~1.MP3"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "SECOND~1.MP3"), names.end());
  FILINFO fno;
  EXPECT_EQ(f_stat("A long name.mp3", &fno), FR_NO_FILE);
  EXPECT_EQ(f_stat("alongn~1.mp3", &fno), FR_OK);
  EXPECT_EQ(fno.fsize, 2u);
}

TEST_F(Media, AtMostTenObjectsAreOpenAtOnce) {
  mount();
  FIL files[11];
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(f_open(&files[i], ("n" + std::to_string(i) + ".mp3").c_str(), FA_READ), FR_OK);
  }
  EXPECT_EQ(f_open(&files[10], "n10.mp3", FA_READ), FR_TOO_MANY_OPEN_FILES);
  DIR dir;
  EXPECT_EQ(f_opendir(&dir, "loop"), FR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(f_opendir(&dir, "/"), FR_OK);  // the root takes no place
  EXPECT_EQ(f_closedir(&dir), FR_OK);
  EXPECT_EQ(f_open(&files[10], "n3.mp3", FA_READ), FR_OK);  // an open file again: shared
  EXPECT_EQ(f_close(&files[10]), FR_OK);
  EXPECT_EQ(f_close(&files[0]), FR_OK);
  EXPECT_EQ(f_open(&files[10], "n10.mp3", FA_READ), FR_OK);
  for (int i = 1; i < 11; ++i) EXPECT_EQ(f_close(&files[i]), FR_OK);
}

TEST_F(Media, AlignedReadsGoStraightToTheDriverInWholeClusters) {
  mount();
  FIL f;
  ASSERT_EQ(f_open(&f, "song.mp3", FA_READ), FR_OK);
  std::vector<uint8_t> buf(66000);
  media[0].resetCounters();
  UINT br = 0;
  ASSERT_EQ(f_read(&f, buf.data(), 66000, &br), FR_OK);
  EXPECT_EQ(br, 66000u);
  EXPECT_EQ(buf, pattern(66000, 21));
  // 129 data sectors, one cluster (sector) per call here, plus the FAT sector(s).
  EXPECT_LE(media[0].sectorsRead, 129u + 2u);
  ASSERT_EQ(f_lseek(&f, 100), FR_OK);
  media[0].resetCounters();
  for (int i = 0; i < 4; ++i) ASSERT_EQ(f_read(&f, buf.data(), 100, &br), FR_OK);
  EXPECT_EQ(media[0].readCalls, 0u);  // the sector is in the file's own buffer already
  EXPECT_EQ(f_close(&f), FR_OK);
}

TEST_F(Media, BrokenChainsEndWithoutHangingOrLeavingTheMedium) {
  mount();
  DIR dir;
  ASSERT_EQ(f_opendir(&dir, "loop"), FR_OK);
  const DWORD first = dir.obj.sclust;
  f_closedir(&dir);
  FIL f;
  ASSERT_EQ(f_open(&f, "song.mp3", FA_READ), FR_OK);
  const DWORD songFirst = f.obj.sclust;
  f_close(&f);
  vol.reset();

  // The folder's second cluster leads back to its first: the entries of both are read once,
  // then the walk fails as on a broken chain.
  setFat16(fat16(first), static_cast<WORD>(first));
  // The song's chain loops after two clusters, and its size claims almost 4 GiB.
  setFat16(songFirst + 1, static_cast<WORD>(songFirst));
  const size_t e = entryOffset("SONG    MP3");
  std::memset(&media[0].image[e + 28], 0xF0, 4);
  // n0.mp3 starts outside the volume, n1.mp3's chain leaves it.
  media[0].image[entryOffset("N0      MP3") + 26] = 0xF0;
  media[0].image[entryOffset("N0      MP3") + 27] = 0xFF;
  mount();
  FIL n1;
  ASSERT_EQ(f_open(&n1, "n1.mp3", FA_READ), FR_OK);
  setFat16(n1.obj.sclust, 0xFFF0);
  f_close(&n1);

  DIR loop;
  FILINFO info;
  std::set<std::string> names;
  FRESULT res;
  ASSERT_EQ(f_opendir(&loop, "loop"), FR_OK);
  while ((res = f_readdir(&loop, &info)) == FR_OK && info.fname[0] != 0) {
    EXPECT_TRUE(names.insert(info.fname).second) << info.fname;
  }
  EXPECT_EQ(res, FR_INT_ERR);
  EXPECT_GE(names.size(), 20u);
  f_closedir(&loop);
  ASSERT_EQ(f_open(&f, "song.mp3", FA_READ), FR_OK);
  EXPECT_EQ(f_lseek(&f, 0xF0000000ULL), FR_INT_ERR);
  EXPECT_EQ(f_close(&f), FR_OK);
  uint8_t buf[1024];
  UINT br;
  ASSERT_EQ(f_open(&f, "n0.mp3", FA_READ), FR_OK);
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_INT_ERR);
  f_close(&f);
  ASSERT_EQ(f_open(&f, "n1.mp3", FA_READ), FR_OK);
  EXPECT_EQ(f_read(&f, buf, sizeof buf, &br), FR_INT_ERR);
  f_close(&f);
  EXPECT_EQ(media[0].outOfRange, 0u);
}

TEST_F(Media, NothingPastTheLastSectorIsRequested) {
  std::vector<uint8_t> cut = smallImage();
  FatImage full("full.img", "-F 16 -s 1", 4096);
  full.put("pad.bin", pattern(3000 * 1024, 1));  // fills the first 3 MB
  full.put("tail.bin", pattern(4000, 2));        // lies behind them
  cut = full.bytes();
  cut.resize(2 * 1024 * 1024);  // the stick is smaller than its volume claims
  insert(cut);
  mount();
  std::vector<uint8_t> got;
  EXPECT_EQ(readAll("tail.bin", got, 512), FR_DISK_ERR);
  EXPECT_EQ(readAll("pad.bin", got, 4096), FR_DISK_ERR);
  EXPECT_EQ(media[0].outOfRange, 0u);
}

TEST_F(Media, TheVolumeLockGuardsEveryOperation) {
  mount();
  DIR dir;
  ASSERT_EQ(f_opendir(&dir, "/"), FR_OK);
  // Before the scheduler runs a held lock cannot be waited for: the time-out comes at once.
  ASSERT_EQ(xSemaphoreTake(vol->fs.sobj, 0), pdTRUE);
  FILINFO fno;
  EXPECT_EQ(f_readdir(&dir, &fno), FR_TIMEOUT);
  DIR other;
  EXPECT_EQ(f_opendir(&other, "/"), FR_TIMEOUT);
  xSemaphoreGive(vol->fs.sobj);
  EXPECT_EQ(f_readdir(&dir, &fno), FR_OK);
  EXPECT_EQ(f_closedir(&dir), FR_OK);
}

// ---- Two tasks on one volume, on a board with its kernel

std::atomic<int> blockTicks{0};
DRESULT slowRead(BYTE lun, BYTE* buff, DWORD sector, UINT count) {
  // A transfer that waits, as a USB transfer does, so that other tasks run meanwhile.
  if (blockTicks.load() > 0) vTaskDelay(blockTicks.load());
  return TestDriver.disk_read(lun, buff, sector, count);
}
const Diskio_drvTypeDef SlowDriver = {TestDriver.disk_initialize, TestDriver.disk_status, slowRead,
                                      nullptr, TestDriver.disk_ioctl};

struct Body {
  std::function<void()> fn;
};
void trampoline(void* p) {
  static_cast<Body*>(p)->fn();
  for (;;) vTaskDelay(portMAX_DELAY);
}
void spawn(const char* name, UBaseType_t prio, std::function<void()> fn) {
  xTaskCreate(trampoline, name, 256, new Body{std::move(fn)}, prio, nullptr);
}

TEST_F(Media, TasksShareTheVolumeAndALongHolderTimesOthersOut) {
  auto r = boardtest::run([] {
    static FATFS fs;
    static char path[4];
    FATFS_LinkDriver(&SlowDriver, path);
    f_mount(&fs, path, 0);
    blockTicks = 1;
    static std::atomic<int> done{0};
    for (int t = 0; t < 2; ++t) {
      spawn(t == 0 ? "A" : "B", 3, [t] {
        std::vector<uint8_t> got;
        const FRESULT res = readAll(t == 0 ? "song.mp3" : "n5.mp3", got, 512);
        const bool exact = got == (t == 0 ? pattern(66000, 21) : pattern(600, 35));
        boardtest::note(std::string(t == 0 ? "A" : "B") + " " + std::to_string(res) + " " +
                        (exact ? "exact" : "differs"));
        if (++done == 2) {
          blockTicks = 1500;  // one transfer now outlasts the lock's time-out
          spawn("C", 3, [] {
            FIL f;
            f_open(&f, "n7.mp3", FA_READ);
            boardtest::note("C done at " + std::to_string(boardtest::tick()));
          });
          spawn("D", 3, [] {
            vTaskDelay(10);
            DIR d;
            const unsigned start = boardtest::tick();
            const FRESULT res = f_opendir(&d, "/");
            boardtest::note("D " + std::to_string(res) + " after " +
                            std::to_string(boardtest::tick() - start));
            simk::endRun(0, "");
          });
        }
      });
    }
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.notes.find("A 0 exact"), std::string::npos) << r.notes;
  EXPECT_NE(r.notes.find("B 0 exact"), std::string::npos) << r.notes;
  // D gives up FF_FS_TIMEOUT ticks after asking, with FR_TIMEOUT.
  EXPECT_NE(r.notes.find("D 15 after 1000\n"), std::string::npos) << r.notes;
}

TEST_F(Media, PullingTheStickDuringAReadLetsTheReadEndFirst) {
  auto r = boardtest::run([] {
    static FATFS fs;
    static char path[4];
    FATFS_LinkDriver(&SlowDriver, path);
    f_mount(&fs, path, 0);
    blockTicks = 5;
    spawn("reader", 4, [] {
      std::vector<uint8_t> got;
      const FRESULT res = readAll("song.mp3", got, 512);
      boardtest::note("read " + std::to_string(res) + " after " + std::to_string(got.size()));
    });
    spawn("storage", 6, [] {
      vTaskDelay(100);
      media[0].present = false;
      f_mount(nullptr, path, 0);  // waits for the transfer in progress
      boardtest::note("unmounted");
      FATFS_UnLinkDriver(path);
      std::memset(&fs, 0, sizeof fs);
      vTaskDelay(100);
      simk::endRun(0, "");
    });
  });
  EXPECT_EQ(r.status, 0);
  // The transfer fails (the stick is gone), the read ends with a disk error and gives the
  // volume back; the unmount, waiting for it, runs at once at its higher priority.
  EXPECT_EQ(r.notes.rfind("unmounted\nread 1 after ", 0), 0u) << r.notes;
}

// ---- exFAT

class ExFat : public ::testing::Test {
 protected:
  static std::vector<uint8_t>& image() {
    static std::vector<uint8_t> img = [] {
      ExFatImage x(4096);
      const uint32_t zoo = x.mkdir(0, u"Zoo");
      x.mkdir(0, u"animals");
      x.mkdir(0, u"Hidden", true);
      x.put(0, u"song.mp3", pattern(66000, 41), true);
      x.put(0, u"frag.bin", pattern(50000, 42), false);
      x.put(0, u"M\u00e4dchen mit einem sehr langen Namen.mp3", pattern(10, 43), true);
      x.put(0, u"\u4e2d.mp3", pattern(1, 44), true);
      x.put(zoo, u"b.BMP", pattern(5000, 45), false);
      x.put(zoo, u"a.bmp", pattern(7, 46), true);
      const uint32_t sub = x.mkdir(zoo, u"sub");
      x.put(sub, u"deep.txt", pattern(5, 47), true);
      return x.bytes();
    }();
    return img;
  }
  void SetUp() override {
    media[0] = Medium{};
    media[0].image = image();
    vol = std::make_unique<Volume>(0);
  }
  void TearDown() override { vol.reset(); }
  std::unique_ptr<Volume> vol;
};

TEST_F(ExFat, VolumeListsInStoredOrderAndReadsFilesAndFolders) {
  EXPECT_EQ(list("0:"), (std::vector<std::string>{
                            "Zoo", "animals", "Hidden", "song.mp3", "frag.bin",
                            "M\x84" + std::string("dchen mit einem sehr langen Namen.mp3"), "?"}));
  FILINFO fno;
  ASSERT_EQ(f_stat("hidden", &fno), FR_OK);
  EXPECT_EQ(fno.fattrib & (AM_DIR | AM_HID), AM_DIR | AM_HID);
  ASSERT_EQ(f_stat("SONG.MP3", &fno), FR_OK);
  EXPECT_EQ(fno.fsize, 66000u);
  EXPECT_EQ(fno.fattrib, AM_ARC);
  DIR dir;
  ASSERT_EQ(f_findfirst(&dir, &fno, "Zoo", "*.bmp"), FR_OK);
  EXPECT_STREQ(fno.fname, "b.BMP");
  f_closedir(&dir);
  // Contiguous and chained files read byte for byte, in any chunks and from any offset.
  for (UINT chunk : {512u, 333u, 70000u}) {
    std::vector<uint8_t> got;
    ASSERT_EQ(readAll("song.mp3", got, chunk), FR_OK);
    EXPECT_EQ(got, pattern(66000, 41));
    ASSERT_EQ(readAll("frag.bin", got, chunk), FR_OK);
    EXPECT_EQ(got, pattern(50000, 42));
    ASSERT_EQ(readAll("0:/Zoo/b.BMP", got, chunk), FR_OK);
    EXPECT_EQ(got, pattern(5000, 45));
  }
  FIL f;
  ASSERT_EQ(f_open(&f, "frag.bin", FA_READ), FR_OK);
  const auto data = pattern(50000, 42);
  for (FSIZE_t ofs : {40000u, 4095u, 4096u, 12345u, 0u, 49999u}) {
    ASSERT_EQ(f_lseek(&f, ofs), FR_OK);
    uint8_t buf[3000];
    UINT br = 0;
    ASSERT_EQ(f_read(&f, buf, sizeof buf, &br), FR_OK);
    ASSERT_EQ(br, std::min<FSIZE_t>(sizeof buf, data.size() - ofs));
    EXPECT_EQ(0, std::memcmp(buf, data.data() + ofs, br)) << ofs;
  }
  f_close(&f);
  // Folders and parent paths.
  ASSERT_EQ(f_chdir("zoo\\SUB"), FR_OK);
  EXPECT_EQ(list(""), (std::vector<std::string>{"deep.txt"}));
  char cwd[64];
  ASSERT_EQ(f_getcwd(cwd, sizeof cwd), FR_OK);
  EXPECT_STREQ(cwd, "0:/Zoo/sub");
  EXPECT_EQ(f_stat("../a.bmp", &fno), FR_OK);
  EXPECT_EQ(fno.fsize, 7u);
  EXPECT_EQ(f_stat("../../song.mp3", &fno), FR_OK);
  ASSERT_EQ(f_chdir(".."), FR_OK);
  EXPECT_EQ(list("").size(), 3u);
  ASSERT_EQ(f_chdir(".."), FR_OK);
  EXPECT_EQ(list("").front(), "Zoo");
}

TEST_F(ExFat, ABrokenEntrySetIsReportedAsAnInternalError) {
  vol.reset();
  // Damage the checksum of the song's entry set, which follows "Hidden" in the root.
  auto& img = media[0].image;
  size_t at = 0;
  for (size_t i = 0; i + 32 <= img.size(); i += 32) {
    if (img[i] == 0x85 && img[i + 32] == 0xC0 && img[i + 32 + 3] == 8 && img[i + 64 + 2] == 's') {
      at = i;
      break;
    }
  }
  ASSERT_NE(at, 0u);
  img[at + 2] ^= 0xFF;
  vol = std::make_unique<Volume>(0);
  const auto names = list("0:");
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[3], "<error 2>");
}

}  // namespace
