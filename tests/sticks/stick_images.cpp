#include "stick_images.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "bmp_files.h"
#include "images.h"
#include "process.h"
#include "sram/sram_data.h"

namespace sticks {
namespace {

const std::string& dir() {
  static const std::string d = proc::tempDir();
  return d;
}

int sh(const std::string& command) {
  return std::system(("MTOOLS_SKIP_CHECK=1 " + command + " >/dev/null 2>&1").c_str());
}

const std::string& bmpFile() {
  static const std::string path = [] {
    const std::string p = dir() + "/title.bmp";
    proc::writeFile(p, bmpfiles::bmp24(16, 16, bmpfiles::pattern));
    return p;
  }();
  return path;
}

const std::string& mp3File() {
  static const std::string path = testimg::tone(0.3, 440);
  return path;
}

std::string threeDigits(int n) {
  char s[8];
  std::snprintf(s, sizeof s, "%03d", n);
  return s;
}

std::string twoDigits(int n) {
  char s[8];
  std::snprintf(s, sizeof s, "%02d", n);
  return s;
}

// ---- FAT32 images patched by hand

uint32_t le(const std::string& img, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(img[at + i]);
  return v;
}

void putLe(std::string& img, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) img[at + i] = static_cast<char>(v >> (8 * i));
}

struct Fat32 {
  std::string img;
  uint32_t bps = 0, spc = 0, fatBase = 0, fatSize = 0, fats = 0, dataBase = 0, rootCluster = 0;
  uint32_t entries = 0;  // FAT entries (clusters + 2)

  explicit Fat32(const std::string& path) {
    img = proc::readFile(path);
    bps = le(img, 11, 2);
    spc = static_cast<uint8_t>(img[13]);
    fatBase = le(img, 14, 2) * bps;
    fats = static_cast<uint8_t>(img[16]);
    fatSize = le(img, 36, 4) * bps;
    dataBase = fatBase + fats * fatSize;
    rootCluster = le(img, 44, 4);
    const uint32_t total = le(img, 32, 4) * bps;
    entries = (total - dataBase) / (spc * bps) + 2;
  }
  uint32_t fat(uint32_t c) const { return le(img, fatBase + 4 * c, 4) & 0x0FFFFFFF; }
  void setFat(uint32_t c, uint32_t v) {
    for (uint32_t f = 0; f < fats; ++f) putLe(img, fatBase + f * fatSize + 4 * c, v, 4);
  }
  size_t cluster(uint32_t c) const { return dataBase + static_cast<size_t>(c - 2) * spc * bps; }
  uint32_t clusterBytes() const { return spc * bps; }
  std::vector<uint32_t> chain(uint32_t c) const {
    std::vector<uint32_t> out;
    while (c >= 2 && c < entries && out.size() < entries) {
      out.push_back(c);
      c = fat(c);
    }
    return out;
  }
  // The short directory entry of `longName` (a name of at most 13 characters: its long-name
  // entry is the one just before; or an 8.3 name stored as a short name alone), in the
  // directory at `dirCluster`: its offset in the image.
  size_t entryOf(uint32_t dirCluster, const std::string& longName) const {
    std::string shortName(11, ' ');
    const size_t dot = longName.find('.');
    for (size_t i = 0; i < longName.size() && i < dot && i < 8; ++i) {
      shortName[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(longName[i])));
    }
    for (size_t i = dot + 1; dot != std::string::npos && i < longName.size() && i < dot + 4; ++i) {
      shortName[8 + i - dot - 1] =
          static_cast<char>(std::toupper(static_cast<unsigned char>(longName[i])));
    }
    for (uint32_t c : chain(dirCluster)) {
      for (size_t at = cluster(c); at < cluster(c) + clusterBytes(); at += 32) {
        if (img[at] == 0 || static_cast<uint8_t>(img[at + 11]) == 0x0F) continue;
        if (img.compare(at, 11, shortName) == 0) return at;
        if (at < 32 || static_cast<uint8_t>(img[at - 32 + 11]) != 0x0F) continue;
        // The name's first characters are in the last LFN entry before the short one, when
        // the name fits in one (13 characters).
        std::string first;
        for (size_t k : {1, 3, 5, 7, 9}) first += img[at - 32 + k];
        if (longName.compare(0, 5, first) == 0) {
          std::string rest;
          for (size_t k : {14, 16, 18, 20, 22, 24}) rest += img[at - 32 + k];
          for (size_t k : {28, 30}) rest += img[at - 32 + k];
          if ((first + rest).compare(0, longName.size(), longName) == 0) return at;
        }
      }
    }
    ADD_FAILURE() << "no entry " << longName;
    return 0;
  }
  uint32_t firstCluster(size_t entry) const {
    return le(img, entry + 20, 2) << 16 | le(img, entry + 26, 2);
  }
  void setFirstCluster(size_t entry, uint32_t c) {
    putLe(img, entry + 20, c >> 16, 2);
    putLe(img, entry + 26, c & 0xFFFF, 2);
  }
  // Marks the free entries of a directory cluster deleted, so that the directory does not
  // end there.
  void noEndIn(uint32_t c) {
    for (size_t at = cluster(c); at < cluster(c) + clusterBytes(); at += 32) {
      if (img[at] == 0) img[at] = static_cast<char>(0xE5);
    }
  }
  void save(const std::string& path) const { proc::writeFile(path, img); }
};

// FAT32 of 40 MB with 512-byte clusters and 20 root folders (each name with its long-name
// entry, two entries a folder), "Ordner 01" with a picture and a playback folder.
std::string ordnerBase(const std::string& name) {
  const std::string img = dir() + "/" + name + ".img";
  std::remove(img.c_str());
  EXPECT_EQ(sh("mkfs.fat -F 32 -s 1 -C " + img + " 40000"), 0);
  std::string dirs;
  for (int i = 1; i <= 20; ++i) dirs += " '::/Ordner " + twoDigits(i) + "'";
  EXPECT_EQ(sh("mmd -i " + img + dirs + " '::/Ordner 01/CD 1'"), 0);
  EXPECT_EQ(sh("mcopy -i " + img + " " + bmpFile() + " '::/Ordner 01/title.bmp'"), 0);
  EXPECT_EQ(sh("mcopy -i " + img + " " + mp3File() + " '::/Ordner 01/CD 1/Lied.mp3'"), 0);
  return img;
}

}  // namespace

const std::string& bigStick() {
  static const std::string image = [] {
    const std::string tree = dir() + "/big";
    for (int r = 1; r <= 256; ++r) {
      const std::string root = tree + "/Hoerspiel " + threeDigits(r);
      for (int s = 1; s <= 16; ++s) {
        const std::string cd = root + "/CD " + twoDigits(s);
        std::filesystem::create_directories(cd);
        EXPECT_EQ(link(mp3File().c_str(), (cd + "/Track 01.mp3").c_str()), 0);
      }
      EXPECT_EQ(link(bmpFile().c_str(), (root + "/title.bmp").c_str()), 0);
    }
    const std::string img = dir() + "/big.img";
    EXPECT_EQ(sh("mkfs.fat -C " + img + " 65536"), 0);
    EXPECT_EQ(sh("cd " + tree + " && mcopy -s -i " + img + " Hoerspiel* ::/"), 0);
    return img;
  }();
  return image;
}

std::string bigStickFolderLines() {
  std::string out;
  for (int r = 1; r <= 256; ++r) {
    out += "Folder: Hoerspiel " + threeDigits(r) + "\r\n Pic:title.bmp\r\n Count:16\r\n";
  }
  return out;
}

const std::string& manyFilesStick() {
  static const std::string image = [] {
    std::string m;
    for (int f = 1; f <= 4000; ++f) {
      char name[32];
      std::snprintf(name, sizeof name, "Notiz %04d.txt", f);
      m += std::string("file \"") + name + "\" text=\"x\"\n";
    }
    for (int r = 1; r <= 256; ++r) {
      const std::string root = "Hoerspiel " + threeDigits(r);
      m += "file \"" + root + "/title.bmp\" src=\"" + bmpFile() + "\"\n";
      for (int s = 1; s <= 16; ++s) {
        m += "file \"" + root + "/CD " + twoDigits(s) + "/Track 01.mp3\" src=\"" + mp3File() +
             "\"\n";
      }
    }
    return testimg::mkstick(m, {"--fat", "32", "--size", "64M"});
  }();
  return image;
}

const std::string& secondStick() {
  static const std::string image =
      testimg::mkstick("file \"Zweiter Stick/title.bmp\" src=\"" + bmpFile() +
                       "\"\nfile \"Zweiter Stick/CD 1/Lied.mp3\" src=\"" + mp3File() + "\"\n");
  return image;
}

const std::string& loopingRootStick() {
  static const std::string image = [] {
    const std::string img = ordnerBase("looping");
    Fat32 fs(img);
    const auto root = fs.chain(fs.rootCluster);
    EXPECT_GE(root.size(), 3u);
    fs.noEndIn(root.back());
    fs.setFat(root.back(), root.front());
    fs.save(img);
    return img;
  }();
  return image;
}

const std::string& outsideStick() {
  static const std::string image = [] {
    const std::string img = ordnerBase("outside");
    Fat32 fs(img);
    const auto root = fs.chain(fs.rootCluster);
    const size_t ordner01 = fs.entryOf(fs.rootCluster, "Ordner 01");
    const size_t ordner02 = fs.entryOf(fs.rootCluster, "Ordner 02");
    const size_t picture = fs.entryOf(fs.firstCluster(ordner01), "title.bmp");
    fs.setFat(fs.firstCluster(picture), fs.entries + 7);
    fs.setFirstCluster(ordner02, fs.entries + 5);
    fs.setFat(root.front(), fs.entries + 100);
    fs.save(img);
    return img;
  }();
  return image;
}

const std::string& hugeRootStick() {
  static const std::string image = [] {
    const std::string img = ordnerBase("huge");
    Fat32 fs(img);
    const uint32_t perCluster = fs.clusterBytes() / 32;
    const uint32_t files = 100000;
    // The root goes on from its last cluster into a run of free clusters high on the volume.
    const auto root = fs.chain(fs.rootCluster);
    const uint32_t first = 40000;
    const uint32_t clusters = (files + 1 + perCluster - 1) / perCluster + 1;
    fs.noEndIn(root.back());
    fs.setFat(root.back(), first);
    for (uint32_t c = first; c < first + clusters; ++c) {
      fs.setFat(c, c + 1 < first + clusters ? c + 1 : 0x0FFFFFFF);
    }
    size_t at = fs.cluster(first);
    for (uint32_t i = 0; i < files; ++i, at += 32) {
      char name[12];
      std::snprintf(name, sizeof name, "F%07uTXT", i);
      std::memcpy(&fs.img[at], name, 11);
      fs.img[at + 11] = 0x20;
    }
    // A folder after them (its cluster an empty directory).
    const uint32_t last = first + clusters;
    std::memcpy(&fs.img[at], "ZULETZT    ", 11);
    fs.img[at + 11] = 0x10;
    fs.setFirstCluster(at, last);
    fs.setFat(last, 0x0FFFFFFF);
    std::memcpy(&fs.img[fs.cluster(last)], ".          ", 11);
    fs.img[fs.cluster(last) + 11] = 0x10;
    fs.setFirstCluster(fs.cluster(last), last);
    std::memcpy(&fs.img[fs.cluster(last) + 32], "..         ", 11);
    fs.img[fs.cluster(last) + 32 + 11] = 0x10;
    fs.save(img);
    return img;
  }();
  return image;
}

proc::Sim simulate(const std::string& stick, const std::string& script,
                   const std::vector<std::string>& more) {
  std::vector<std::string> args = more;
  if (!stick.empty()) args.insert(args.end(), {"--stick", stick});
  return proc::simulate(script, args);
}

std::vector<Line> consoleLines(const std::string& trace) {
  static const std::regex event(R"re(^\{"t":(\d+),"ev":"console","text":"(.*)"\}$)re");
  std::vector<Line> out;
  std::istringstream in(trace);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (!std::regex_match(line, m, event)) continue;
    std::string text;
    const std::string raw = m[2].str();
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
      text += raw[i];
    }
    out.push_back({std::stol(m[1].str()), text});
  }
  return out;
}

std::vector<long> eventTimes(const std::string& trace, const std::string& ev,
                             const std::string& needle) {
  std::vector<long> out;
  for (const std::string& e : proc::events(trace, ev, needle)) out.push_back(proc::field(e, "t"));
  return out;
}

std::string sramWithFolderCount(uint16_t folderCount) {
  SramDataStruct record;
  setDefaultRecord(record);
  record.folderCount = folderCount;
  record.currentVolume = 40;
  std::string chip(131072, '\0');
  std::memcpy(chip.data(), &record, sizeof record);
  const std::string path = dir() + "/sram" + std::to_string(folderCount) + ".bin";
  proc::writeFile(path, chip);
  return path;
}

}  // namespace sticks
