// The check of a record read from the chip, at the edges of each field's range: the highest
// value the firmware uses is kept, one above it is repaired (and reported) with its fallback.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "sram/sram_data.h"

namespace {

struct Edge {
  const char* field;
  uint32_t bit;  // 0: a slot, counted in repairedSlots
  std::function<void(SramDataStruct&, unsigned)> set;
  std::function<unsigned(const SramDataStruct&)> get;
  unsigned highest;
  unsigned fallback;
};

TEST(RecordCheck, EachFieldKeepsItsHighestValueAndRepairsTheNextOne) {
  const Edge edges[] = {
      {"folderCount", FIELD_FOLDER_COUNT, [](auto& r, unsigned v) { r.folderCount = v; },
       [](const auto& r) { return r.folderCount; }, 256, 0},
      {"currentRootFolderNumber", FIELD_ROOT_FOLDER,
       [](auto& r, unsigned v) { r.currentRootFolderNumber = v; },
       [](const auto& r) { return r.currentRootFolderNumber; }, 255, 0},
      {"currentVolume", FIELD_VOLUME, [](auto& r, unsigned v) { r.currentVolume = v; },
       [](const auto& r) { return r.currentVolume; }, 63, 40},
      {"spkBoost", FIELD_SPK_BOOST, [](auto& r, unsigned v) { r.spkBoost = v; },
       [](const auto& r) { return r.spkBoost; }, 7, 7},
      {"equalizer", FIELD_EQUALIZER, [](auto& r, unsigned v) { r.equalizer[4] = v; },
       [](const auto& r) { return r.equalizer[4]; }, 24, 12},
      {"maxVolume", FIELD_MAX_VOLUME, [](auto& r, unsigned v) { r.maxVolume = v; },
       [](const auto& r) { return r.maxVolume; }, 63, 63},
      {"effect3d", FIELD_EFFECT3D, [](auto& r, unsigned v) { r.effect3d = v; },
       [](const auto& r) { return r.effect3d; }, 31, 0},
      {"positionResume", FIELD_POSITION_RESUME, [](auto& r, unsigned v) { r.positionResume = v; },
       [](const auto& r) { return r.positionResume; }, 1, 0},
      {"slot track", 0,
       [](auto& r, unsigned v) {
         r.audioFolder[255][15] = {uint16_t(v), 9};
       },
       [](const auto& r) { return r.audioFolder[255][15].currentFileNumber; }, 100, 0},
  };
  for (const Edge& e : edges) {
    for (unsigned value : {e.highest, e.highest + 1}) {
      SramDataStruct record;
      setDefaultRecord(record);
      e.set(record, value);
      const RecordCheck check = checkRecord(record);
      const bool repaired = value > e.highest;
      ASSERT_TRUE(check.valid) << e.field;
      EXPECT_EQ(check.repairedFields, repaired ? e.bit : 0u) << e.field << " " << value;
      EXPECT_EQ(check.repairedSlots, repaired && e.bit == 0 ? 1u : 0u) << e.field << " " << value;
      EXPECT_EQ(e.get(record), repaired ? e.fallback : value) << e.field << " " << value;
    }
  }
}

}  // namespace

namespace {

// A copy of the record as a write of this firmware leaves it, and ways it can be found.
StoredRecord written(uint32_t sequence, uint8_t volume) {
  StoredRecord c;
  std::memset(&c, 0, sizeof c);
  setDefaultRecord(c.record);
  c.record.currentVolume = volume;
  c.check = {sequence, recordCrc(c.record, sequence)};
  return c;
}
StoredRecord torn(StoredRecord c, uint8_t newVolume) {  // new bytes up to the cut, check word old
  c.record.currentVolume = newVolume;
  return c;
}
StoredRecord older(StoredRecord c, uint8_t volume) {  // written again by firmware without copies
  c.record.currentVolume = volume;
  return c;
}

TEST(RecordCopies, TheStartUpTakesTheNewestCompleteCopy) {
  StoredRecord blank;
  std::memset(&blank, 0, sizeof blank);
  StoredRecord beforeCopies;  // a chip from before the second copy: the record alone
  std::memset(&beforeCopies, 0, sizeof beforeCopies);
  setDefaultRecord(beforeCopies.record);
  StoredRecord byteOffsets = beforeCopies;
  byteOffsets.record.versionOfConfiguation = SRAM_VERSION_BYTE_POSITIONS;
  StoredRecord checkWordHalfWritten = written(8, 30);  // its record complete, sequence new
  checkWordHalfWritten.check.crc ^= 0xFFFF0000u;
  struct Case {
    const char* what;
    StoredRecord a, b;
    RecordSource source;
  };
  const Case cases[] = {
      {"a blank chip", blank, blank, RecordSource::None},
      {"a chip from before the copies", beforeCopies, blank, RecordSource::CopyAUnsure},
      {"the older format", byteOffsets, blank, RecordSource::CopyAUnsure},
      {"both copies of one write", written(7, 30), written(7, 30), RecordSource::CopyA},
      {"cut between the copies", written(7, 30), written(8, 31), RecordSource::CopyB},
      {"copy B cut off", written(7, 30), torn(written(6, 29), 30), RecordSource::CopyA},
      {"copy A cut off", torn(written(7, 30), 31), written(8, 31), RecordSource::CopyB},
      {"copy A cut in its check word", checkWordHalfWritten, written(8, 30),
       RecordSource::CopyAUnsure},
      {"copy A written again by older firmware", older(written(7, 30), 12), written(7, 30),
       RecordSource::CopyAUnsure},
      {"copy A first, cut between the copies", written(9, 31), written(8, 30), RecordSource::CopyA},
      {"the sequence wrapped", written(0xFFFFFFFFu, 30), written(0, 31), RecordSource::CopyB},
      {"neither complete, copy A not a record", blank, torn(written(3, 1), 2), RecordSource::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chooseCopy(describeCopy(c.a.record, c.a.check), describeCopy(c.b.record, c.b.check)),
              c.source)
        << c.what;
  }
  // The check is the CRC-32 everybody computes.
  EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc32("56789", 5, crc32("1234", 4)), 0xCBF43926u);
}

}  // namespace
