// The file system against volumes made by mkfs.fat and filled by mtools (an outside reference):
// the same tree on FAT12, FAT16, FAT32, 4096-byte sectors and a partitioned stick, read
// through the API the firmware uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fat_test_util.h"
#include "ff.h"
#include "ff_gen_drv.h"

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
  EXPECT_EQ(f_stat("0:\\Zoo\\sub\\deep.txt", &fno), FR_OK);
  EXPECT_EQ(f_stat("\\zoo/SUB//DEEP.TXT", &fno), FR_OK);  // any case, either separator
  EXPECT_EQ(fno.fsize, 5u);
  EXPECT_EQ(f_stat("0:Zoo/sub/", &fno), FR_OK);
  EXPECT_EQ(f_stat("Zoo/none/deep.txt", &fno), FR_NO_PATH);
  EXPECT_EQ(f_stat("Zoo/none.txt", &fno), FR_NO_FILE);
  EXPECT_EQ(f_stat("song.mp3/x", &fno), FR_NO_PATH);
  EXPECT_EQ(f_stat("Zoo/a*.bmp", &fno), FR_INVALID_NAME);
  EXPECT_EQ(f_stat("5:/x", &fno), FR_INVALID_DRIVE);
  EXPECT_EQ(f_stat("1:/x", &fno), FR_NOT_ENABLED);

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

}  // namespace
