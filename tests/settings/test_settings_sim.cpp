// The simulator keeps the serial SRAM in the file given by --sram: what one run stores, the
// next run loads; a file it cannot use stops it before the board starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "process.h"
#include "sram/sram_data.h"

namespace {

proc::Sim sim(const std::string& sramFile) {
  return proc::simulate("", {"--duration", "500ms", "--sram", sramFile});
}

// Where two chip images differ first, for a failure message.
std::string firstDifference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "sizes " + std::to_string(a.size()) + ", " + std::to_string(b.size()) +
         "; first difference at " + std::to_string(i);
}

// The console from "Conf read" to the last dump line.
std::string dump(const std::string& out) {
  const size_t from = out.find("Conf read\n");
  const size_t to = out.rfind("positionInFile: ");
  if (from == std::string::npos || to == std::string::npos) return "(no dump) " + out;
  return out.substr(from, out.find('\n', to) + 1 - from);
}

TEST(SimSramFile, WhatOneRunStoresTheNextRunLoads) {
  const std::string dir = proc::tempDir();
  const std::string file = dir + "/sram.bin";
  // A chip written by the older design: positions as byte offsets.
  SramDataStruct rec;
  setDefaultRecord(rec);
  rec.versionOfConfiguation = SRAM_VERSION_BYTE_POSITIONS;
  rec.folderCount = 1;
  rec.currentRootFolderNumber = 7;
  rec.currentVolume = 33;
  rec.spkBoost = 5;
  rec.audioFolder[0][3] = {5, 20000};
  std::string image(131072, '\0');
  std::memcpy(image.data(), &rec, sizeof rec);
  proc::writeFile(file, image);

  const proc::Sim first = sim(file);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("Conf upgraded\nConf read\n"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("currentVolume:33\nspkBoost:5\n"), std::string::npos);
  EXPECT_NE(first.out.find("audio: 3,  currentFileNumber: 5,  positionInFile: 2\n"),
            std::string::npos);
  EXPECT_NE(first.trace.find(R"("ev":"sram","op":"write","bytes":16668)"), std::string::npos);
  const std::string stored = proc::readFile(file);
  ASSERT_EQ(stored.size(), 131072u);
  SramDataStruct onChip;
  std::memcpy(&onChip, stored.data(), sizeof onChip);
  EXPECT_EQ(onChip.versionOfConfiguation, SRAM_VERSION);
  EXPECT_EQ(onChip.audioFolder[0][3].positionInFile, 2);  // 20000 bytes: two 8 KiB units

  const proc::Sim second = sim(file);
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out.find("Conf upgraded"), std::string::npos);
  EXPECT_EQ(dump(second.out), dump(first.out));
  EXPECT_NE(second.trace.find(R"("ev":"sram","op":"read","bytes":16668)"), std::string::npos);
  // The same record again in both copies (their check words count the writes).
  const std::string again = proc::readFile(file);
  for (size_t copy : {size_t{SRAM_COPY_A}, size_t{SRAM_COPY_B}}) {
    const std::string now = again.substr(copy, sizeof(SramDataStruct));
    const std::string before = stored.substr(copy, sizeof(SramDataStruct));
    EXPECT_TRUE(now == before) << "copy at " << copy << ": " << firstDifference(now, before);
  }
  // Written back through a temporary file that is gone again.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>{"sram.bin"});
  std::filesystem::remove_all(dir);
}

TEST(SimSramFile, AMissingFileStartsBlankAndABadOneStopsTheRunByName) {
  const std::string dir = proc::tempDir();
  const proc::Sim fresh = sim(dir + "/new.bin");
  EXPECT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_NE(fresh.out.find("Conf default; size: 16 kb\nConf default\n"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(dir + "/new.bin"), 131072u);

  proc::writeFile(dir + "/short.bin", std::string(1000, '\0'));
  for (const std::string& bad : {dir + "/short.bin", dir, dir + "/no/such/folder/x.bin"}) {
    const proc::Sim r = sim(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << "the board does not start";
  }
  EXPECT_EQ(std::filesystem::file_size(dir + "/short.bin"), 1000u) << "left as it was";
  std::filesystem::remove_all(dir);
}

}  // namespace
