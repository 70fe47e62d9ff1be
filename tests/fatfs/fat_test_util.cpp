#include "fat_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "process.h"

namespace fattest {

Medium media[2];

namespace {

DSTATUS tStatus(BYTE lun) { return media[lun & 1].present ? 0 : STA_NOINIT; }

DSTATUS tInitialize(BYTE lun) {
  Medium& m = media[lun & 1];
  ++m.initCalls;
  return (m.present && !m.initFails) ? 0 : STA_NOINIT;
}

DRESULT tRead(BYTE lun, BYTE* buff, DWORD sector, UINT count) {
  Medium& m = media[lun & 1];
  if (!m.present) return RES_NOTRDY;
  ++m.readCalls;
  if (m.failAfterReads >= 0) {
    if (m.failAfterReads == 0) return RES_ERROR;
    --m.failAfterReads;
  }
  const uint64_t end = (static_cast<uint64_t>(sector) + count) * m.sectorSize;
  if (count == 0 || end > m.image.size()) {
    ++m.outOfRange;
    return RES_PARERR;
  }
  m.sectorsRead += count;
  std::memcpy(buff, m.image.data() + static_cast<size_t>(sector) * m.sectorSize,
              static_cast<size_t>(count) * m.sectorSize);
  return RES_OK;
}

DRESULT tIoctl(BYTE lun, BYTE cmd, void* buff) {
  Medium& m = media[lun & 1];
  if (!m.present) return RES_NOTRDY;
  switch (cmd) {
    case CTRL_SYNC: return RES_OK;
    case GET_SECTOR_COUNT: *static_cast<DWORD*>(buff) = m.sectorCount(); return RES_OK;
    case GET_SECTOR_SIZE: *static_cast<WORD*>(buff) = m.sectorSize; return RES_OK;
    case GET_BLOCK_SIZE: *static_cast<DWORD*>(buff) = m.sectorSize; return RES_OK;
    default: return RES_PARERR;
  }
}

}  // namespace

const Diskio_drvTypeDef TestDriver = {tInitialize, tStatus, tRead, nullptr, tIoctl};

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
  const std::string s = proc::readFile(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

const std::string& scratch() {
  static const std::string dir = proc::tempDir();
  return dir;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  proc::writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return v;
}

void sh(const std::string& command) {
  const std::string full =
      "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 LC_ALL=C.UTF-8 " + command + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(full.c_str()), 0) << command;
}

namespace {
std::string quote(const std::string& s) { return "'" + s + "'"; }
}  // namespace

FatImage::FatImage(const std::string& name, const std::string& mkfsOptions, unsigned sizeKiB)
    : file_(scratch() + "/" + name) {
  std::filesystem::remove(file_);
  sh("mkfs.fat -C " + mkfsOptions + " " + quote(file_) + " " + std::to_string(sizeKiB));
}

void FatImage::mkdir(const std::string& path) {
  sh("mmd -i " + quote(file_) + " " + quote("::/" + path));
}

std::vector<uint8_t> FatImage::bytes() const { return readBytes(file_); }

void FatImage::put(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string src = scratch() + "/src.bin";
  writeFile(src, bytes);
  sh("mcopy -o -i " + quote(file_) + " " + quote(src) + " " + quote("::/" + path));
}

void FatImage::attrib(const std::string& flags, const std::string& path) {
  sh("mattrib -i " + quote(file_) + " " + flags + " " + quote("::/" + path));
}

void FatImage::remove(const std::string& path) {
  sh("mdel -i " + quote(file_) + " " + quote("::/" + path));
}

// ---- exFAT

namespace {
void st16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void st32(uint8_t* p, uint32_t v) {
  st16(p, v);
  st16(p + 2, v >> 16);
}
void st64(uint8_t* p, uint64_t v) {
  st32(p, static_cast<uint32_t>(v));
  st32(p + 4, static_cast<uint32_t>(v >> 32));
}
uint32_t ld32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

std::vector<uint8_t> entrySet(const std::u16string& name, uint8_t attr, uint32_t first,
                              uint64_t size, bool contiguous) {
  const size_t nameEntries = (name.size() + 14) / 15;
  std::vector<uint8_t> set((2 + nameEntries) * 32, 0);
  set[0] = 0x85;
  set[1] = static_cast<uint8_t>(1 + nameEntries);
  st16(&set[4], attr);
  st32(&set[12], 0x5A4B6000);  // modified: some date and time
  uint8_t* s = &set[32];
  s[0] = 0xC0;
  s[1] = static_cast<uint8_t>(1 | (contiguous ? 2 : 0));
  s[3] = static_cast<uint8_t>(name.size());
  uint16_t hash = 0;
  for (char16_t c : name) {
    const uint16_t u = (c >= u'a' && c <= u'z') ? c - 32 : c;
    for (uint8_t b : {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)}) {
      hash = static_cast<uint16_t>(((hash & 1) ? 0x8000 : 0) + (hash >> 1) + b);
    }
  }
  st16(&s[4], hash);
  st64(&s[8], size);
  st32(&s[20], first);
  st64(&s[24], size);
  for (size_t i = 0; i < name.size(); ++i) {
    uint8_t* n = &set[64 + i / 15 * 32];
    n[0] = 0xC1;
    st16(n + 2 + (i % 15) * 2, name[i]);
  }
  uint16_t sum = 0;
  for (size_t i = 0; i < set.size(); ++i) {
    if (i == 2 || i == 3) continue;
    sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + set[i]);
  }
  st16(&set[2], sum);
  return set;
}
}  // namespace

ExFatImage::ExFatImage(unsigned sizeKiB) {
  const std::string file = scratch() + "/exfat.img";
  std::filesystem::remove(file);
  sh("truncate -s " + std::to_string(sizeKiB) + "K " + quote(file) + " && mkfs.exfat " +
     quote(file));
  img_ = readBytes(file);
  ss_ = 1u << img_[108];
  spc_ = 1u << img_[109];
  fatOff_ = ld32(&img_[80]) * ss_;
  heapOff_ = ld32(&img_[88]) * ss_;
  nclst_ = ld32(&img_[92]);
  root_ = ld32(&img_[96]);
  // The allocation bitmap's entry in the root directory.
  for (size_t off = clusterOffset(root_); img_[off] != 0; off += 32) {
    if (img_[off] == 0x81) bitmapCluster_ = ld32(&img_[off + 20]);
  }
}

size_t ExFatImage::clusterOffset(uint32_t cluster) const {
  return heapOff_ + static_cast<size_t>(cluster - 2) * spc_ * ss_;
}

void ExFatImage::setFat(uint32_t cluster, uint32_t value) {
  st32(&img_[fatOff_ + cluster * 4], value);
}

uint32_t ExFatImage::allocate(uint32_t count, bool contiguous, std::vector<uint32_t>& out) {
  auto used = [&](uint32_t c) {
    return ((img_[clusterOffset(bitmapCluster_) + (c - 2) / 8] >> ((c - 2) % 8)) & 1) != 0;
  };
  auto mark = [&](uint32_t c) {
    img_[clusterOffset(bitmapCluster_) + (c - 2) / 8] |= static_cast<uint8_t>(1u << ((c - 2) % 8));
  };
  out.clear();
  uint32_t c = next_;
  while (out.size() < count) {
    if (c >= nclst_ + 2) throw std::runtime_error("exFAT test image full");
    if (!used(c)) {
      mark(c);
      out.push_back(c);
      c += contiguous ? 1 : 2;  // a chain skips every other cluster
    } else {
      ++c;
      if (contiguous) out.clear();
    }
  }
  next_ = contiguous ? c : out.back() + 1;
  if (!contiguous) {
    for (size_t i = 0; i < out.size(); ++i) {
      setFat(out[i], i + 1 < out.size() ? out[i + 1] : 0xFFFFFFFF);
    }
  }
  return out.empty() ? 0 : out.front();
}

void ExFatImage::addEntrySet(uint32_t parent, const std::vector<uint8_t>& set) {
  const uint32_t dir = parent == 0 ? root_ : parent;
  size_t off = clusterOffset(dir);
  while (img_[off] != 0) off += 32;  // folders here are one cluster; the root has room
  std::memcpy(&img_[off], set.data(), set.size());
  lastSet_ = off;
}

uint32_t ExFatImage::mkdir(uint32_t parent, const std::u16string& name, bool hidden) {
  std::vector<uint32_t> clusters;
  const uint32_t first = allocate(1, true, clusters);
  std::memset(&img_[clusterOffset(first)], 0, spc_ * ss_);
  addEntrySet(parent, entrySet(name, static_cast<uint8_t>(0x10 | (hidden ? 0x02 : 0)), first,
                               spc_ * ss_, true));
  return first;
}

void ExFatImage::put(uint32_t parent, const std::u16string& name, const std::vector<uint8_t>& bytes,
                     bool contiguous) {
  const uint32_t bcs = spc_ * ss_;
  const uint32_t n = static_cast<uint32_t>((bytes.size() + bcs - 1) / bcs);
  std::vector<uint32_t> clusters;
  const uint32_t first = n == 0 ? 0 : allocate(n, contiguous, clusters);
  for (uint32_t i = 0; i < n; ++i) {
    const size_t len = std::min<size_t>(bcs, bytes.size() - size_t(i) * bcs);
    std::memcpy(&img_[clusterOffset(clusters[i])], bytes.data() + size_t(i) * bcs, len);
  }
  addEntrySet(parent, entrySet(name, 0x20, first, bytes.size(), contiguous));
}

// ---- Mounting

Volume::Volume(int unit) : lun(unit) {
  EXPECT_EQ(FATFS_LinkDriverEx(&TestDriver, path, static_cast<BYTE>(unit)), 0);
  EXPECT_EQ(f_mount(&fs, path, 0), FR_OK);
}

Volume::~Volume() {
  f_mount(nullptr, path, 0);
  FATFS_UnLinkDriver(path);
}

std::vector<std::string> list(const char* path) {
  std::vector<std::string> names;
  DIR dir;
  FILINFO fno;
  if (f_opendir(&dir, path) != FR_OK) return {"<opendir failed>"};
  for (int guard = 0; guard < 100000; ++guard) {
    const FRESULT res = f_readdir(&dir, &fno);
    if (res != FR_OK) {
      names.push_back("<error " + std::to_string(res) + ">");
      break;
    }
    if (fno.fname[0] == 0) break;
    names.push_back(fno.fname);
  }
  f_closedir(&dir);
  return names;
}

FRESULT readAll(const char* path, std::vector<uint8_t>& out, UINT chunk) {
  static FIL fil;
  out.clear();
  FRESULT res = f_open(&fil, path, FA_READ);
  if (res != FR_OK) return res;
  std::vector<uint8_t> buf(chunk);
  for (;;) {
    UINT br = 0;
    res = f_read(&fil, buf.data(), chunk, &br);
    if (res != FR_OK) break;
    out.insert(out.end(), buf.begin(), buf.begin() + br);
    if (br < chunk) break;
  }
  f_close(&fil);
  return res;
}

}  // namespace fattest
